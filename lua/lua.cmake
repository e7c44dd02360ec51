# The Lua bridge and the Lua module zk_data.so.
#
# zk_lua        the bridge and the run-time lookup of the host's Lua API; links
#               no Lua, so libzk_data.so (object/object.cmake) stays loadable
#               in hosts without Lua.
# zk_lua_linked the Lua API bound at link time, for programs that link Lua or
#               are loaded by a Lua interpreter.
# zk_data_lua   lua/zk_data.so for require "zk_data": the interpreter that
#               loads it supplies the Lua API, so it links no Lua either.

find_package(PkgConfig REQUIRED)
pkg_check_modules(LUA54 REQUIRED IMPORTED_TARGET lua5.4)

add_library(zk_lua STATIC ${CMAKE_CURRENT_LIST_DIR}/lua_bridge.cpp ${CMAKE_CURRENT_LIST_DIR}/lua_api_host.cpp)
target_include_directories(zk_lua PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${LUA54_INCLUDE_DIRS})
target_link_libraries(zk_lua PUBLIC zk_core ${CMAKE_DL_LIBS})

add_library(zk_lua_linked STATIC ${CMAKE_CURRENT_LIST_DIR}/lua_api_linked.cpp)
target_include_directories(zk_lua_linked PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${LUA54_INCLUDE_DIRS})

add_library(zk_data_lua MODULE ${CMAKE_CURRENT_LIST_DIR}/lua_module.cpp)
target_link_libraries(zk_data_lua PRIVATE zk_lua_linked zk_lua zk_core)
set_target_properties(zk_data_lua PROPERTIES
  OUTPUT_NAME zk_data PREFIX "" SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lua
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/lua_module.map)
target_link_options(zk_data_lua PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/lua_module.map)

# Installed where lua5.4 looks for C modules: <prefix>/lib/lua/5.4 for the
# default /usr/local and the .deb's /usr (both on lua5.4's package.cpath).
include(GNUInstallDirs)
set(ZK_DATA_LUA_CMODDIR ${CMAKE_INSTALL_LIBDIR}/lua/5.4 CACHE STRING "Install directory of the Lua module, relative to the prefix")
install(TARGETS zk_data_lua LIBRARY DESTINATION ${ZK_DATA_LUA_CMODDIR})

if(ZK_BUILD_TESTS)
  set(ZK_LUA_TESTS ${CMAKE_CURRENT_LIST_DIR}/../tests/lua)

  # The bridge and the object methods through a real Lua state, and the COM
  # module loaded with dlopen into a process that has Lua.
  # The module's script also runs in an embedded state, which sanitized
  # builds can check.
  add_executable(zk_lua_tests ${ZK_LUA_TESTS}/lua_bridge_test.cpp ${ZK_LUA_TESTS}/lua_methods_test.cpp
    ${ZK_LUA_TESTS}/lua_module_test.cpp ${CMAKE_CURRENT_LIST_DIR}/lua_module.cpp)
  target_compile_definitions(zk_lua_tests PRIVATE ZK_DATA_MODULE_PATH="$<TARGET_FILE:zk_data>"
    ZK_MODULE_TEST_SCRIPT="${ZK_LUA_TESTS}/module_test.lua")
  target_link_libraries(zk_lua_tests PRIVATE zk_object zk_lua_linked zk_lua zk_core PkgConfig::LUA54
    GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
  add_dependencies(zk_lua_tests zk_data)
  gtest_discover_tests(zk_lua_tests DISCOVERY_TIMEOUT 60)

  # The COM module in a process without any Lua.
  add_executable(zk_lua_absent_tests ${ZK_LUA_TESTS}/lua_absent_test.cpp)
  target_include_directories(zk_lua_absent_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_compile_definitions(zk_lua_absent_tests PRIVATE ZK_DATA_MODULE_PATH="$<TARGET_FILE:zk_data>")
  target_link_libraries(zk_lua_absent_tests PRIVATE GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
  add_dependencies(zk_lua_absent_tests zk_data)
  gtest_discover_tests(zk_lua_absent_tests DISCOVERY_TIMEOUT 60)

  # The module under the stock interpreter. An interpreter built without the
  # sanitizers cannot load a module built with them.
  find_program(LUA54_INTERPRETER lua5.4)
  if(ZK_SANITIZE)
    message(STATUS "zk_data.lua_module test skipped: the sanitized module cannot load into lua5.4")
  elseif(NOT LUA54_INTERPRETER)
    message(WARNING "lua5.4 not found: the zk_data.lua_module test is not registered")
  else()
    add_test(NAME zk_data.lua_module
      COMMAND ${CMAKE_COMMAND} -E env "LUA_CPATH=$<TARGET_FILE_DIR:zk_data_lua>/?.so"
              ${LUA54_INTERPRETER} ${ZK_LUA_TESTS}/module_test.lua)
  endif()
endif()
