// zk_peers_bench: zk_data next to RapidJSON, nlohmann::json, expat and
// pugixml, and zk's other codecs alone, on corpora generated in memory from
// fixed seeds (corpora.h). Throughput cases count bytes of the document;
// read cases also report the heap their tree takes (cases.h, heap_probe.h).
// scripts/perf_report.sh runs it and writes docs/performance.md.
#include <benchmark/benchmark.h>

#include "bench/peers/cases.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    zk::bench::RegisterTextCases();
    zk::bench::RegisterFormatCases();
    zk::bench::RegisterTreeCases();
    zk::bench::RegisterHostCases();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
