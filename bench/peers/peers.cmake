# zk_peers_bench: zk_data next to RapidJSON, nlohmann::json, expat and
# pugixml on the same in-memory corpora. Built only when the peers' headers
# are installed (scripts/perf_report.sh installs them); never a dependency of
# the library itself.
if(ZK_BUILD_BENCH AND TARGET benchmark::benchmark)
  find_path(ZK_RAPIDJSON_INCLUDE rapidjson/document.h)
  find_path(ZK_NLOHMANN_INCLUDE nlohmann/json.hpp)
  find_path(ZK_PUGIXML_INCLUDE pugixml.hpp)
  find_library(ZK_PUGIXML_LIB pugixml)
  if(ZK_RAPIDJSON_INCLUDE AND ZK_NLOHMANN_INCLUDE AND ZK_PUGIXML_INCLUDE AND ZK_PUGIXML_LIB)
    set(ZK_PEERS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/bench/peers)
    add_executable(zk_peers_bench
      ${ZK_PEERS_DIR}/peers_bench.cpp
      ${ZK_PEERS_DIR}/cases.cpp
      ${ZK_PEERS_DIR}/heap_probe.cpp
      ${ZK_PEERS_DIR}/text_corpus.cpp
      ${ZK_PEERS_DIR}/format_corpora.cpp
      ${ZK_PEERS_DIR}/text_cases.cpp
      ${ZK_PEERS_DIR}/format_cases.cpp
      ${ZK_PEERS_DIR}/tree_cases.cpp
      ${ZK_PEERS_DIR}/host_cases.cpp)
    target_include_directories(zk_peers_bench SYSTEM PRIVATE
      ${ZK_RAPIDJSON_INCLUDE} ${ZK_NLOHMANN_INCLUDE} ${ZK_PUGIXML_INCLUDE})
    target_link_libraries(zk_peers_bench PRIVATE zk_core ${ZK_PUGIXML_LIB} benchmark::benchmark)
    # heap_probe.cpp defines malloc and its relatives; exporting them makes
    # the shared libraries (libstdc++, expat, pugixml) call ours too.
    set_target_properties(zk_peers_bench PROPERTIES ENABLE_EXPORTS ON)
  else()
    message(STATUS "zk_peers_bench skipped: rapidjson-dev, nlohmann-json3-dev or libpugixml-dev missing")
  endif()
endif()
