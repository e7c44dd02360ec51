# The Lua bridge and the Lua module.
#
# zk_lua        the bridge and the run-time lookup of the host's Lua API; links
#               no Lua, so the COM module (object/object.cmake) stays loadable
#               in hosts without Lua.
# zk_lua_linked the Lua API bound at link time, for programs that link Lua or
#               are loaded by a Lua interpreter.
# zk_data_lua   the module for require "zk_data": lua/zk_data.so, which takes
#               the Lua API from the interpreter that loads it, or on Windows
#               lua/zk_data.dll, which links the interpreter's lua54.dll (a
#               Windows DLL cannot leave names for its loader to supply, and
#               every Windows Lua host has lua54.dll loaded by the time it
#               requires a C module; scripts/windows.sh builds both).

if(WIN32)
  find_path(ZK_LUA_INCLUDE_DIR lua.hpp PATH_SUFFIXES lua5.4 REQUIRED)
  find_file(ZK_LUA_DLL lua54.dll PATH_SUFFIXES bin REQUIRED)
  set(ZK_LUA_INCLUDE_DIRS ${ZK_LUA_INCLUDE_DIR})
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LUA54 REQUIRED IMPORTED_TARGET lua5.4)
  set(ZK_LUA_INCLUDE_DIRS ${LUA54_INCLUDE_DIRS})
endif()

add_library(zk_lua STATIC ${CMAKE_CURRENT_LIST_DIR}/lua_bridge.cpp ${CMAKE_CURRENT_LIST_DIR}/lua_api_host.cpp)
target_include_directories(zk_lua PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${ZK_LUA_INCLUDE_DIRS})
target_link_libraries(zk_lua PUBLIC zk_core ${CMAKE_DL_LIBS})

add_library(zk_lua_linked STATIC ${CMAKE_CURRENT_LIST_DIR}/lua_api_linked.cpp)
target_include_directories(zk_lua_linked PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${ZK_LUA_INCLUDE_DIRS})

add_library(zk_data_lua MODULE ${CMAKE_CURRENT_LIST_DIR}/lua_module.cpp)
target_link_libraries(zk_data_lua PRIVATE zk_lua_linked zk_lua zk_core)
set_target_properties(zk_data_lua PROPERTIES OUTPUT_NAME zk_data PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lua)
if(WIN32)
  target_sources(zk_data_lua PRIVATE ${CMAKE_CURRENT_LIST_DIR}/lua_module.def)
  target_link_libraries(zk_data_lua PRIVATE ${ZK_LUA_DLL})
  set_target_properties(zk_data_lua PROPERTIES SUFFIX ".dll")
else()
  set_target_properties(zk_data_lua PROPERTIES SUFFIX ".so" LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/lua_module.map)
  target_link_options(zk_data_lua PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/lua_module.map)
endif()

# Installed where lua5.4 looks for C modules: <prefix>/lib/lua/5.4 for the
# default /usr/local and the .deb's /usr (both on lua5.4's package.cpath).
include(GNUInstallDirs)
set(ZK_DATA_LUA_CMODDIR ${CMAKE_INSTALL_LIBDIR}/lua/5.4 CACHE STRING "Install directory of the Lua module, relative to the prefix")
install(TARGETS zk_data_lua LIBRARY DESTINATION ${ZK_DATA_LUA_CMODDIR})
