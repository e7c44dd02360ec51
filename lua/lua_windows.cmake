# The Lua module zk_data.dll for Windows, where lua.exe loads it with
# require "zk_data". A Windows DLL cannot leave names for its loader to
# supply, so the module links the interpreter's lua54.dll (scripts/windows.sh
# builds both), which every Windows Lua host has loaded by the time it
# requires a C module.
find_path(ZK_LUA_INCLUDE_DIR lua.hpp PATH_SUFFIXES lua5.4 REQUIRED)
find_file(ZK_LUA_DLL lua54.dll PATH_SUFFIXES bin REQUIRED)

add_library(zk_data_lua MODULE
  ${CMAKE_CURRENT_LIST_DIR}/lua_module.cpp ${CMAKE_CURRENT_LIST_DIR}/lua_bridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lua_api_linked.cpp ${CMAKE_CURRENT_LIST_DIR}/lua_module.def)
target_include_directories(zk_data_lua PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${ZK_LUA_INCLUDE_DIR})
target_link_libraries(zk_data_lua PRIVATE zk_core ${ZK_LUA_DLL})
set_target_properties(zk_data_lua PROPERTIES OUTPUT_NAME zk_data PREFIX "" SUFFIX ".dll"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lua)
