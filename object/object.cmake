# The object layer and the shared module libzk_data.so.
#
# zk_object holds the object code once; the module and the unit tests both
# take its objects. The module links the whole platform layer (so that every
# platform function is present to be exported) and exports only what
# object/zk_data.map lists: the four server entry points and the platform
# functions. Every other symbol stays inside the module.

file(GLOB ZK_OBJECT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(zk_object OBJECT ${ZK_OBJECT_SOURCES})
# zk_lua (lua/lua.cmake) before zk_core, whose code it uses.
target_link_libraries(zk_object PUBLIC zk_lua zk_core zk_platform)

add_library(zk_data SHARED $<TARGET_OBJECTS:zk_object>)
set_target_properties(zk_data PROPERTIES OUTPUT_NAME zk_data LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/zk_data.map
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} EXPORT_NAME module)
target_link_libraries(zk_data PRIVATE zk_lua zk_core "$<LINK_LIBRARY:WHOLE_ARCHIVE,zk_platform>")
target_link_options(zk_data PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/zk_data.map
  -Wl,-Bsymbolic-functions
  -Wl,--no-undefined)

include(GNUInstallDirs)
# Hosts that link the module (zk_data::module) include "zk_data/zk_data.h",
# installed with the other public headers (cmake/packaging.cmake).
target_include_directories(zk_data INTERFACE
  $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zk_data> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS zk_data EXPORT zk_dataTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
