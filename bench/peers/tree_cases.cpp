// The value tree next to RapidJSON's and nlohmann's DOMs on a document of
// about a million nodes: build, deep copy, compare, destroy, each timed
// alone; and the heap a list of a million Ints takes.
#include <memory>

#include "bench/peers/cases.h"
#include "bench/peers/peer_nodes.h"

namespace zk::bench {
namespace {

constexpr int kNodes = 1000000;
constexpr const char* kKeys[] = {"id", "name", "kind", "size", "flags", "owner", "title", "tags", "a", "b"};
constexpr const char* kShort = "short text";
constexpr const char* kLong = "a string long enough to need a heap block of its own";

// The document of bench/value_bench.cpp: a root list of records, each a map
// of seven Ints, a short and a long string and a list of three Ints: 14
// nodes a record. Every library copies the string values and takes the keys
// as they come (rapidjson refers to the literals, we store them inline).
struct Zk {
    using Tree = DataNode;
    static void build(Tree& root) {
        ListValue& records = root.asList();
        for (int built = 0; built < kNodes; built += 14) {
            DataNode& rec = records.append();
            for (int f = 0; f < 7; ++f) rec.mapGet(kKeys[f]).setInt(built + f, ValueKind::Int64);
            rec.mapGet(kKeys[7]).setStr(kShort, ValueKind::Text);
            rec.mapGet(kKeys[8]).setStr(kLong, ValueKind::Text);
            ListValue& tags = rec.mapGet(kKeys[9]).asList();
            for (int t = 0; t < 3; ++t) tags.append().setInt(t, ValueKind::Int32);
        }
    }
    static void copy(const Tree& from, Tree& to) { to = from; }
    static bool equal(const Tree& a, const Tree& b) { return a.equals(b); }
    static int64_t nodes(const Tree& t) { return CountNodes(t); }
    static void ints(Tree& list) {
        ListValue& l = list.asList();
        for (int i = 0; i < kNodes; ++i) l.append().setInt(i, ValueKind::Int64);
    }
};

struct Rapid {
    using Tree = rapidjson::Document;
    static void build(Tree& d) {
        auto& a = d.GetAllocator();
        d.SetArray();
        for (int built = 0; built < kNodes; built += 14) {
            rapidjson::Value rec(rapidjson::kObjectType);
            for (int f = 0; f < 7; ++f) rec.AddMember(rapidjson::StringRef(kKeys[f]), int64_t{built + f}, a);
            rec.AddMember(rapidjson::StringRef(kKeys[7]), rapidjson::Value(kShort, a), a);
            rec.AddMember(rapidjson::StringRef(kKeys[8]), rapidjson::Value(kLong, a), a);
            rapidjson::Value tags(rapidjson::kArrayType);
            for (int t = 0; t < 3; ++t) tags.PushBack(t, a);
            rec.AddMember(rapidjson::StringRef(kKeys[9]), tags, a);
            d.PushBack(rec, a);
        }
    }
    static void copy(const Tree& from, Tree& to) { to.CopyFrom(from, to.GetAllocator()); }
    static bool equal(const Tree& a, const Tree& b) {
        return static_cast<const rapidjson::Value&>(a) == static_cast<const rapidjson::Value&>(b);
    }
    static int64_t nodes(const Tree& t) { return CountRapid(t); }
    static void ints(Tree& d) {
        d.SetArray();
        for (int i = 0; i < kNodes; ++i) d.PushBack(int64_t{i}, d.GetAllocator());
    }
};

struct Nlohmann {
    using Tree = nlohmann::json;
    static void build(Tree& root) {
        root = nlohmann::json::array();
        for (int built = 0; built < kNodes; built += 14) {
            nlohmann::json rec = nlohmann::json::object();
            for (int f = 0; f < 7; ++f) rec[kKeys[f]] = int64_t{built + f};
            rec[kKeys[7]] = kShort;
            rec[kKeys[8]] = kLong;
            nlohmann::json& tags = rec[kKeys[9]] = nlohmann::json::array();
            for (int t = 0; t < 3; ++t) tags.push_back(t);
            root.push_back(std::move(rec));
        }
    }
    static void copy(const Tree& from, Tree& to) { to = from; }
    static bool equal(const Tree& a, const Tree& b) { return a == b; }
    static int64_t nodes(const Tree& t) { return CountNlohmann(t); }
    static void ints(Tree& list) {
        list = nlohmann::json::array();
        for (int i = 0; i < kNodes; ++i) list.push_back(int64_t{i});
    }
};

// Destruction runs with the timer paused wherever it is not the subject.
template <class L>
void Build(benchmark::State& state) {
    for (auto _ : state) {
        auto tree = std::make_unique<typename L::Tree>();
        L::build(*tree);
        benchmark::DoNotOptimize(tree.get());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
    ReportHeap(state, [] {
        typename L::Tree tree;
        L::build(tree);
        return HeapUse{L::nodes(tree), LiveHeap()};
    });
}

template <class L>
void Copy(benchmark::State& state) {
    typename L::Tree source;
    L::build(source);
    for (auto _ : state) {
        auto tree = std::make_unique<typename L::Tree>();
        L::copy(source, *tree);
        benchmark::DoNotOptimize(tree.get());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

template <class L>
void Compare(benchmark::State& state) {
    typename L::Tree a, b;
    L::build(a);
    L::build(b);
    for (auto _ : state)
        if (!L::equal(a, b)) state.SkipWithError("equal trees compare unequal");
    state.SetItemsProcessed(state.iterations() * kNodes);
}

template <class L>
void Destroy(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<typename L::Tree>();
        L::build(*tree);
        state.ResumeTiming();
        tree.reset();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

// Heap per Int of a list of a million Ints appended one by one: nodes and
// list storage, spare capacity and allocator overhead included.
template <class L>
void IntList(benchmark::State& state) {
    for (auto _ : state) {
        typename L::Tree list;
        L::ints(list);
        benchmark::DoNotOptimize(&list);
        state.PauseTiming();
        list = typename L::Tree();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
    ReportHeap(state, [] {
        typename L::Tree list;
        L::ints(list);
        return HeapUse{kNodes, LiveHeap()};
    });
}

template <class L>
void RegisterLibrary(const char* lib) {
    // Builds outside the timer dominate these cases: a fixed count of
    // iterations keeps a fast destroy from asking for thousands of builds.
    Register("tree_build", lib, "1M", Build<L>)->Iterations(8);
    Register("tree_copy", lib, "1M", Copy<L>)->Iterations(8);
    Register("tree_compare", lib, "1M", Compare<L>);
    Register("tree_destroy", lib, "1M", Destroy<L>)->Iterations(8);
    Register("int_list", lib, "1M", IntList<L>)->Iterations(8);
}

}  // namespace

void RegisterTreeCases() {
    RegisterLibrary<Zk>("zk");
    RegisterLibrary<Rapid>("rapidjson");
    RegisterLibrary<Nlohmann>("nlohmann");
}

}  // namespace zk::bench
