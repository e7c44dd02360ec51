# The zkdata command-line tool and its tests, which run the built tool as a
# subprocess on the bundled examples, and test its tree fix-ups directly.

add_executable(zkdata
  ${CMAKE_CURRENT_LIST_DIR}/zkdata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tree_fixups.cpp)
target_link_libraries(zkdata PRIVATE zk_core)

include(GNUInstallDirs)
install(TARGETS zkdata RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(ZK_BUILD_TESTS)
  add_executable(zkdata_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/zkdata_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/tools/tree_fixups_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tree_fixups.cpp)
  target_compile_definitions(zkdata_tests PRIVATE
    ZKDATA_PATH="$<TARGET_FILE:zkdata>"
    ZKDATA_EXAMPLES="${CMAKE_CURRENT_SOURCE_DIR}/examples"
    ZK_DATA_VERSION="${PROJECT_VERSION}")
  target_link_libraries(zkdata_tests PRIVATE zk_core GTest::gtest GTest::gtest_main)
  add_dependencies(zkdata_tests zkdata)
  gtest_discover_tests(zkdata_tests DISCOVERY_TIMEOUT 60)
endif()
