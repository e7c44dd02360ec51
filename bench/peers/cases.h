// What the case files of zk_peers_bench share: registration, throughput and
// the heap counters every read case reports.
//
// Names are operation/library/size, e.g. json_read/rapidjson/1MB; the report
// script splits them on '/'.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

#include "zk_data/value/data_node.h"

namespace zk::bench {

void RegisterTextCases();    // JSON, typed XML, free-form XML
void RegisterFormatCases();  // bencode, binary records, HTTP
void RegisterTreeCases();    // build, copy, compare, destroy; Int lists
void RegisterHostCases();    // writeToBuffer and readFromBuffer, as hosts call them

benchmark::internal::Benchmark* Register(const std::string& op, const char* lib, const std::string& size,
                                         std::function<void(benchmark::State&)> fn);

// Bytes per second of a document of `size` bytes per iteration, and its size
// as a counter, so the report can name corpus sizes.
void SetBytes(benchmark::State& state, size_t size);

// What a read leaves on the heap: nodes, and live bytes once the read
// returned, with the object read into still alive.
struct HeapUse {
    int64_t nodes = 0;
    int64_t bytes = 0;
};

// Runs `read` once under a HeapProbe, outside the timed loop, and reports
// nodes, heap_bytes, bytes_per_node and peak_bytes (the highest live total
// during the run). `read` builds its object, reads into it, and returns the
// object's node count and the probe's live bytes before the object dies.
// Measured on the first repetition only; later ones reuse the result.
void ReportHeap(benchmark::State& state, const std::function<HeapUse()>& read);

// Live bytes of the open probe, for `read` above.
int64_t LiveHeap();

// Every DataNode of the tree, the root included (list prototypes, which no
// reader makes, are not nodes of the document).
int64_t CountNodes(const DataNode& node);

}  // namespace zk::bench
