#include "bench/peers/cases.h"

#include <map>
#include <memory>

#include "bench/peers/heap_probe.h"
#include "value/node_pool.h"

namespace zk::bench {

namespace {
HeapProbe* g_probe = nullptr;
int64_t g_slotsBefore = 0;
std::string g_running;  // the name of the case running now

// Slots of the node pool holding live nodes. Single threaded, and with the
// calling thread's free slots handed back first, every slot not filed in the
// depot is a live node.
int64_t LiveSlots() {
    NodePool::trim();
    NodePool::Stats s = NodePool::stats();
    return static_cast<int64_t>(s.chunks * NodePool::kSlotsPerChunk - s.depotSlots);
}
}  // namespace

benchmark::internal::Benchmark* Register(const std::string& op, const char* lib, const std::string& size,
                                         std::function<void(benchmark::State&)> fn) {
    std::string name = op + "/" + lib + "/" + size;
    return benchmark::RegisterBenchmark(name.c_str(), [fn, name](benchmark::State& s) {
               g_running = name;
               fn(s);
           })
        ->Unit(benchmark::kMillisecond);
}

void SetBytes(benchmark::State& state, size_t size) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["doc_bytes"] = static_cast<double>(size);
}

// Nodes come from pool chunks that may predate the probe, or that the probe
// sees allocated whole for a few nodes: so each node made under the probe is
// charged one slot's share of a chunk (chunk header and malloc's included),
// and the chunks themselves are left out.
int64_t LiveHeap() {
    if (!g_probe) return 0;
    constexpr double kSlotShare = double(NodePool::kChunkBytes + 16) / NodePool::kSlotsPerChunk;
    int64_t nodes = LiveSlots() - g_slotsBefore;
    return g_probe->live() - g_probe->poolChunks() + static_cast<int64_t>(nodes * kSlotShare + 0.5);
}

void ReportHeap(benchmark::State& state, const std::function<HeapUse()>& read) {
    struct Result {
        HeapUse use;
        int64_t peak;
    };
    static std::map<std::string, Result> done;
    auto it = done.find(g_running);
    if (it == done.end()) {
        Result r;
        {
            g_slotsBefore = LiveSlots();
            HeapProbe probe;
            g_probe = &probe;
            r.use = read();
            r.peak = probe.peak();
            g_probe = nullptr;
        }
        it = done.emplace(g_running, r).first;
    }
    const Result& r = it->second;
    state.counters["nodes"] = static_cast<double>(r.use.nodes);
    state.counters["heap_bytes"] = static_cast<double>(r.use.bytes);
    state.counters["bytes_per_node"] = r.use.nodes ? double(r.use.bytes) / double(r.use.nodes) : 0.0;
    state.counters["peak_bytes"] = static_cast<double>(r.peak);
}

// Recursive: the corpora are a few levels deep, and a work list would
// allocate under the probe.
int64_t CountNodes(const DataNode& node) {
    int64_t n = 1;
    if (node.isList())
        for (const NodeRef& item : node.list()) n += CountNodes(*item);
    else if (node.isMap())
        for (const MapValue::Entry& e : node.map()) n += CountNodes(*e.child);
    return n;
}

}  // namespace zk::bench
