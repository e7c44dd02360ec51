# The object layer and the COM module: libzk_data.so on Linux, zk_data.dll on
# Windows.
#
# zk_object holds the object code once; the module and the unit tests both
# take its objects.
#
# Linux: the module links the whole platform layer (so that every platform
# function is present to be exported) and exports only what
# object/zk_data.map lists: the four server entry points and the platform
# functions. Every other symbol stays inside the module.
#
# Windows: the platform is the real one (ole32, oleaut32, kernel32). Late
# binding runs on the type library object/zk_data.idl, compiled by widl and
# embedded as the type-library resource of whatever links zk_object; the
# module exports the four entry points through zk_data.def.

file(GLOB ZK_OBJECT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER ZK_OBJECT_SOURCES EXCLUDE REGEX "/dll_main\\.cpp$")
if(WIN32)
  list(FILTER ZK_OBJECT_SOURCES EXCLUDE REGEX "/dispatch(_arguments|_table)?\\.cpp$")
  # widl needs the platform's .idl files and stdole2.tlb, both from Wine's
  # development files (scripts/windows.sh installs them).
  find_program(ZK_WIDL ${ZK_MINGW_TRIPLET}-widl REQUIRED)
  set(ZK_WIDL_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "Directory of oaidl.idl for widl")
  set(ZK_WIDL_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH "Directory of stdole2.tlb for widl")
  set(ZK_TLB ${CMAKE_CURRENT_BINARY_DIR}/zk_data.tlb)
  add_custom_command(OUTPUT ${ZK_TLB}
    COMMAND ${ZK_WIDL} -I${ZK_WIDL_IDL_DIR} -L${ZK_WIDL_TLB_DIR} -t -o ${ZK_TLB} ${CMAKE_CURRENT_LIST_DIR}/zk_data.idl
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/zk_data.idl
    COMMENT "Compiling the type library zk_data.tlb")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/zk_data_tlb.rc "1 TYPELIB \"${ZK_TLB}\"\n")
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/zk_data_tlb.rc PROPERTIES OBJECT_DEPENDS ${ZK_TLB})
  list(APPEND ZK_OBJECT_SOURCES ${CMAKE_CURRENT_BINARY_DIR}/zk_data_tlb.rc)
else()
  list(FILTER ZK_OBJECT_SOURCES EXCLUDE REGEX "/type_library\\.cpp$")
endif()

add_library(zk_object OBJECT ${ZK_OBJECT_SOURCES})
# zk_lua (lua/lua.cmake) before zk_core, whose code it uses.
if(WIN32)
  target_link_libraries(zk_object PUBLIC zk_lua zk_core oleaut32 ole32 uuid)
else()
  target_link_libraries(zk_object PUBLIC zk_lua zk_core zk_platform)
endif()

add_library(zk_data SHARED $<TARGET_OBJECTS:zk_object>)
set_target_properties(zk_data PROPERTIES OUTPUT_NAME zk_data EXPORT_NAME module)
if(WIN32)
  # Undecorated exports; on i686 the symbols behind them are __stdcall.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ZK_STDCALL_0 "@0")
    set(ZK_STDCALL_12 "@12")
    # A name that matches only by guessing its decoration is an error.
    target_link_options(zk_data PRIVATE -Wl,--disable-stdcall-fixup)
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/zk_data.def.in ${CMAKE_CURRENT_BINARY_DIR}/zk_data.def @ONLY)
  target_sources(zk_data PRIVATE ${CMAKE_CURRENT_LIST_DIR}/dll_main.cpp ${CMAKE_CURRENT_BINARY_DIR}/zk_data.def)
  set_target_properties(zk_data PROPERTIES PREFIX "")
  target_link_libraries(zk_data PRIVATE zk_lua zk_core oleaut32 ole32 uuid)
else()
  set_target_properties(zk_data PROPERTIES LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/zk_data.map
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  target_link_libraries(zk_data PRIVATE zk_lua zk_core "$<LINK_LIBRARY:WHOLE_ARCHIVE,zk_platform>")
  target_link_options(zk_data PRIVATE
    -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/zk_data.map
    -Wl,-Bsymbolic-functions
    -Wl,--no-undefined)
endif()

include(GNUInstallDirs)
# Hosts that link the module (zk_data::module) include "zk_data/zk_data.h",
# installed with the other public headers (cmake/packaging.cmake).
target_include_directories(zk_data INTERFACE
  $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zk_data> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS zk_data EXPORT zk_dataTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
