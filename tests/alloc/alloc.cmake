# The allocation-failure sweep (tests/alloc): built only when ZK_FAULT_INJECTION
# compiles the countdown in (the sanitize preset). Every malloc, calloc and
# realloc of the program's own objects goes through the test's wrappers, and
# the test replaces operator new, so that any allocation can be made to fail.

if(ZK_FAULT_INJECTION AND ZK_BUILD_TESTS)
  file(GLOB ZK_ALLOC_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
  # The Lua module's code is linked in, so its functions run in a state
  # whose allocations the sweep controls.
  add_executable(zk_alloc_tests ${ZK_ALLOC_TEST_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/../../lua/lua_module.cpp)
  target_link_libraries(zk_alloc_tests PRIVATE zk_object zk_lua_linked zk_lua zk_core PkgConfig::LUA54
    GTest::gtest GTest::gtest_main)
  target_link_options(zk_alloc_tests PRIVATE -Wl,--wrap=malloc -Wl,--wrap=calloc -Wl,--wrap=realloc)
  gtest_discover_tests(zk_alloc_tests DISCOVERY_TIMEOUT 60)
endif()
