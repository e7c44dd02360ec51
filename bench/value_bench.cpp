// The value tree: cost of building, deep-copying, comparing and destroying a
// tree of about a million nodes, and the memory one node and one map entry take.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <thread>

#include "value/node_pool.h"
#include "zk_data/value/data_node.h"

namespace zk {
namespace {

// A tree of about `nodes` nodes shaped like a parsed document: maps of ten
// fields (ints, short and long strings, a small list) under a root list.
void buildDocument(DataNode& root, int nodes) {
    static const char* const keys[] = {"id", "name", "kind", "size", "flags", "owner", "title", "tags", "a", "b"};
    ListValue& records = root.asList();
    for (int built = 0; built < nodes; built += 14) {
        DataNode& rec = records.append();
        for (int f = 0; f < 7; ++f) rec.mapGet(keys[f]).setInt(built + f, ValueKind::Int64);
        rec.mapGet(keys[7]).setStr("short text", ValueKind::Text);
        rec.mapGet(keys[8]).setStr("a string long enough to need a heap block of its own", ValueKind::Text);
        ListValue& tags = rec.mapGet(keys[9]).asList();
        for (int t = 0; t < 3; ++t) tags.append().setInt(t, ValueKind::Int32);
    }
}

constexpr int kNodes = 1000000;

size_t heapInUse() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;  // small chunks and mmapped blocks
}

void BM_BuildTree(benchmark::State& state) {
    for (auto _ : state) {
        DataNode root;
        buildDocument(root, kNodes);
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

void BM_CopyTree(benchmark::State& state) {
    DataNode root;
    buildDocument(root, kNodes);
    for (auto _ : state) {
        DataNode copy(root);
        benchmark::DoNotOptimize(copy);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

void BM_CompareTrees(benchmark::State& state) {
    DataNode a, b;
    buildDocument(a, kNodes);
    buildDocument(b, kNodes);
    for (auto _ : state) benchmark::DoNotOptimize(a.equals(b));
    state.SetItemsProcessed(state.iterations() * kNodes);
}

void BM_DestroyTree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        DataNode* root = new DataNode;
        buildDocument(*root, kNodes);
        state.ResumeTiming();
        delete root;
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

void BM_MapLookup(benchmark::State& state) {
    DataNode m;
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> keys;
    for (int i = 0; i < n; ++i) keys.push_back("field_" + std::to_string(i));
    for (const auto& k : keys) m.mapGet(k);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(m.map().find(keys[i]));
        if (++i == keys.size()) i = 0;
    }
}

// Memory per Int list item (node and item slot) and per map entry (entry,
// index slot and child node), as the allocator sees it, chunk overheads and
// spare capacity included. Keys are short enough to be stored inline.
void measureFootprint(double& perInt, double& perEntry) {
    constexpr int n = 1000000;  // a stray partly used chunk weighs nothing
    {
        size_t before = heapInUse();
        DataNode ints;
        ListValue& l = ints.asList();
        for (int i = 0; i < n; ++i) l.append().setInt(i, ValueKind::Int64);
        perInt = double(heapInUse() - before) / n;

        before = heapInUse();
        DataNode map;
        for (int i = 0; i < n; ++i) map.mapGet("key" + std::to_string(i)).setInt(i, ValueKind::Int64);
        perEntry = double(heapInUse() - before) / n;
    }
}

void BM_MemoryFootprint(benchmark::State& state) {
    double perInt = 0, perEntry = 0;
    // With the node pool emptied of free chunks and a fresh thread, whose
    // magazines are empty, every node the measurement makes is new heap.
    for (auto _ : state) {
        NodePool::trim();
        std::thread([&] { measureFootprint(perInt, perEntry); }).join();
    }
    state.counters["bytes_per_int_list_item"] = perInt;
    state.counters["bytes_per_map_entry"] = perEntry;
    state.counters["sizeof_DataNode"] = sizeof(DataNode);
}

// A list copy's prototype is taken lazily: a chain of nested lists copies
// in time linear in its depth, and a wide list costs one node per item.
void BM_CopyDeepListChain(benchmark::State& state) {
    DataNode chain;
    DataNode* cur = &chain;
    for (int64_t i = 0; i < state.range(0); ++i) cur = &cur->listAt(0);
    cur->setInt(1, ValueKind::Int32);
    for (auto _ : state) {
        DataNode copy(chain);
        benchmark::DoNotOptimize(copy);
    }
}

DataNode IntList(int64_t items) {
    DataNode list;
    for (int64_t i = 0; i < items; ++i) list.listAt(static_cast<uint32_t>(i)).setInt(i, ValueKind::Int32);
    return list;
}

void BM_CopyWideList(benchmark::State& state) {
    DataNode list = IntList(state.range(0));
    for (auto _ : state) {
        DataNode copy(list);
        benchmark::DoNotOptimize(copy);
    }
}

// Item 0 of a copy handed out for writing: the snapshot of one item.
void BM_CopyThenEditFirstItem(benchmark::State& state) {
    DataNode list = IntList(state.range(0));
    for (auto _ : state) {
        DataNode copy(list);
        copy.listAt(0).setInt(7, ValueKind::Int64);
        benchmark::DoNotOptimize(copy);
    }
}

BENCHMARK(BM_CopyDeepListChain)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyWideList)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyThenEditFirstItem)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareTrees)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DestroyTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapLookup)->Arg(4)->Arg(64)->Arg(100000);
BENCHMARK(BM_MemoryFootprint)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zk
