#include "tests/alloc/sweep.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "object/module.h"
#include "tests/alloc/fault_hooks.h"
#include "value/node_pool.h"
#include "zk_data/codec/format_switch.h"

namespace zk::alloc {
namespace {

// Far more than any operation of the sweep allocates.
constexpr long kMaxRuns = 100000;

// What the process holds that a run must give back.
struct Usage {
    size_t nodes;  // pool slots in use
    LONG objects;  // module locks: one per live object

    bool operator==(const Usage&) const = default;
};

// Every free slot of this thread goes to the depot first, so the depot's
// count covers all of them (the tests run on one thread).
Usage Measure() {
    NodePool::trim();
    NodePool::Stats s = NodePool::stats();
    return {s.chunks * NodePool::kSlotsPerChunk - s.depotSlots, ModuleLockCount()};
}

std::string Describe(const Usage& u) {
    return std::to_string(u.nodes) + " nodes, " + std::to_string(u.objects) + " objects";
}

bool RunCatching(const std::function<bool()>& run) {
    try {
        return run();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// ZK_SWEEP_TRACE=1 names each run on stderr, so that a sanitizer report,
// which ends the process, can be tied to its allocation.
bool Tracing() {
    static const bool on = std::getenv("ZK_SWEEP_TRACE") != nullptr;
    return on;
}

std::string Show(const DataNode& n) {
    switch (n.type()) {
    case NodeType::Str: return "Str \"" + std::string(n.str().view().substr(0, 40)) + "\"";
    case NodeType::Int: return "Int " + std::to_string(n.num());
    case NodeType::List: return "List of " + std::to_string(n.size());
    case NodeType::Map: return "Map of " + std::to_string(n.size());
    default: return "None";
    }
}

std::string Differs(const std::string& path, const std::string& what) {
    return (path.empty() ? "root" : path) + ": " + what;
}

// The first difference between two trees, or empty: type, kind, value, map
// keys in insertion order, and format and options of every node but a None
// one (a None node has no use for them, and moves do not carry them).
// Unlike equals, two None nodes are the same.
std::string DifferenceAt(const DataNode& a, const DataNode& b, const std::string& path) {
    if (a.type() != b.type() || a.size() != b.size()) return Differs(path, Show(a) + " vs " + Show(b));
    if (a.isNone()) return {};
    if (a.kind() != b.kind())
        return Differs(path, "kind " + std::to_string(a.kind()) + " vs " + std::to_string(b.kind()));
    if (a.format() != b.format() || a.options() != b.options()) return Differs(path, "format or options");
    switch (a.type()) {
    case NodeType::Str:
        return a.str() == b.str() ? std::string() : Differs(path, Show(a) + " vs " + Show(b));
    case NodeType::Int: return a.num() == b.num() ? std::string() : Differs(path, Show(a) + " vs " + Show(b));
    case NodeType::List:
        for (uint32_t i = 0; i < a.size(); ++i) {
            std::string at = path + "[" + std::to_string(i) + "]";
            if (std::string d = DifferenceAt(*a.list()[i], *b.list()[i], at); !d.empty()) return d;
        }
        return {};
    case NodeType::Map:
        for (uint32_t i = 0; i < a.size(); ++i) {
            const MapValue::Entry& x = a.map().entry(i);
            const MapValue::Entry& y = b.map().entry(i);
            std::string at = path + "/" + std::string(x.key.view());
            if (x.key != y.key) return Differs(at, "key vs " + std::string(y.key.view()));
            if (std::string d = DifferenceAt(*x.child, *y.child, at); !d.empty()) return d;
        }
        return {};
    default: return {};
    }
}

// What is wrong with a tree's structure (a key its map cannot find, a
// missing node), or empty.
std::string MalformationAt(const DataNode& n, const std::string& path) {
    if (n.isList()) {
        for (uint32_t i = 0; i < n.size(); ++i) {
            std::string at = path + "[" + std::to_string(i) + "]";
            if (!n.list()[i].get()) return Differs(at, "no node");
            if (std::string m = MalformationAt(*n.list()[i], at); !m.empty()) return m;
        }
    }
    if (n.isMap()) {
        for (uint32_t i = 0; i < n.size(); ++i) {
            const MapValue::Entry& e = n.map().entry(i);
            std::string at = path + "/" + std::string(e.key.view());
            if (n.map().find(e.key) != &e.child) return Differs(at, "not found at its own entry");
            if (!e.child.get()) return Differs(at, "no node");
            if (std::string m = MalformationAt(*e.child, at); !m.empty()) return m;
        }
    }
    return {};
}

// Whatever a failed run left must stand a copy, a comparison and a writer.
std::string CheckWellFormed(const DataNode& tree) {
    if (std::string m = MalformationAt(tree, ""); !m.empty()) return m;
    DataNode copy(tree);
    if (std::string d = DifferenceAt(copy, tree, ""); !d.empty()) return "copy differs at " + d;
    copy.setFormat(FormatId::DebugDump);
    OutputStream out;
    writeNode(copy, out);
    return {};
}

// The rule a run broke, or empty.
std::string Judge(const SweepCase& c, bool failed, bool completed, const DataNode& old, const DataNode& expected) {
    DataNode& now = c.tree();
    if (!failed && !completed) return "reported a failure though no allocation failed";
    if (completed) {
        std::string d = DifferenceAt(now, expected, "");
        return d.empty() ? d : "completed with another result: " + d;
    }
    if (c.leaves == Leaves::WellFormed) return CheckWellFormed(now);
    if (DifferenceAt(now, expected, "").empty()) return {};
    std::string d = DifferenceAt(now, old, "");
    return d.empty() ? d : "left neither the old nor the new tree: " + d;
}

}  // namespace

long Sweep(const SweepCase& c) {
    c.build();
    bool completes = RunCatching(c.run);
    DataNode expected(c.tree());
    if (completes) c.checkCompleted();
    c.destroy();
    if (!completes) {
        ADD_FAILURE() << "the operation fails with every allocation granted";
        return 0;
    }
    const Usage before = Measure();
    for (long n = 0; n < kMaxRuns; ++n) {
        if (Tracing()) std::fprintf(stderr, "sweep: allocation %ld fails\n", n);
        bool failed, completed;
        std::string broken;
        {
            c.build();
            DataNode old(c.tree());
            Arm(n);
            completed = RunCatching(c.run);
            failed = Disarm();
            broken = Judge(c, failed, completed, old, expected);
            if (completed && broken.empty()) c.checkCompleted();
            c.destroy();
        }
        if (Usage after = Measure(); broken.empty() && !(after == before))
            broken = "holds " + Describe(after) + " afterwards, not " + Describe(before);
        if (!broken.empty()) {
            ADD_FAILURE() << "with allocation " << n << " failing: " << broken;
            return n;
        }
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "with allocation " << n << " failing (see above)";
            return n;
        }
        if (!failed) {
            std::printf("[  SWEEP   ] completed after %ld runs that each failed one allocation\n", n);
            return n;
        }
    }
    ADD_FAILURE() << "still failing after " << kMaxRuns << " runs";
    return kMaxRuns;
}

}  // namespace zk::alloc
