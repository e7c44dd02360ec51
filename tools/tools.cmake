# The zkdata command-line tool (its tests: tests/tests.cmake).

add_executable(zkdata
  ${CMAKE_CURRENT_LIST_DIR}/zkdata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_setting.cpp)
target_link_libraries(zkdata PRIVATE zk_core)

include(GNUInstallDirs)
install(TARGETS zkdata RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
