// The allocation-failure sweep: an operation runs again and again on a fresh
// fixture, the first time with its first allocation failing, then its
// second, and so on until it completes without a failure. Each run must
// report the failure (a false result or a std::bad_alloc), leave its tree in
// a state it is allowed to leave, and give back everything it took: every
// pool node and every object (checked after each run), and every other
// block (LeakSanitizer, when the process ends).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "zk_data/value/data_node.h"

namespace zk::alloc {

// What a run whose allocation failed may leave behind.
enum class Leaves {
    OldOrNew,    // the tree as it was before the run, or as a run that completes leaves it
    WellFormed,  // any tree that can be walked, copied, written and destroyed
};

// Whether a read in any format but binary that runs out of memory must leave
// its target as it was (or as read): true since those readers build aside.
// False accepts any well-formed tree. The binary reader fills its template
// in place by design and is always held to WellFormed.
inline constexpr bool kReadsKeepOldOrNew = true;
inline constexpr Leaves kReadLeaves = kReadsKeepOldOrNew ? Leaves::OldOrNew : Leaves::WellFormed;

struct SweepCase {
    std::function<void()> build;      // makes the fixture; nothing fails here
    std::function<DataNode&()> tree;  // the tree the operation may change
    // The operation: true when it completed, false when it reported a
    // failure. It may also throw std::bad_alloc.
    std::function<bool()> run;
    std::function<void()> destroy;    // releases the fixture and what run made
    Leaves leaves = Leaves::OldOrNew;
    // Further checks after a run that completed (the bytes a writer made).
    std::function<void()> checkCompleted = [] {};
};

// Runs c until it completes; returns the number of runs whose allocation
// failed. Adds a test failure, naming the allocation, for the first run that
// breaks a rule, and stops there.
long Sweep(const SweepCase& c);

}  // namespace zk::alloc
