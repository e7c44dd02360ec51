#include "value/node_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "zk_data/value/data_node.h"

namespace zk {
namespace {

std::vector<void*> AllocateSlots(size_t n) {
    std::vector<void*> slots(n);
    for (void*& p : slots) {
        p = NodePool::allocate();
        std::memset(p, 0xA5, NodePool::kSlotBytes);  // every byte is ours to write
    }
    return slots;
}

void FreeSlots(const std::vector<void*>& slots) {
    for (void* p : slots) NodePool::deallocate(p);
}

// mingw-w64's emulated thread-local storage frees a thread's cache before the
// destructor that hands it back runs, which then sees an empty cache.
size_t ChunksAfterTrim() {
    NodePool::trim();
    return NodePool::stats().chunks;
}

TEST(NodePool, SlotsAreDistinctAlignedAndReturnedInBulk) {
    size_t before = ChunksAfterTrim();
    std::vector<void*> slots = AllocateSlots(5 * NodePool::kSlotsPerChunk + 7);
    std::set<uintptr_t> seen;
    for (void* p : slots) {
        auto at = reinterpret_cast<uintptr_t>(p);
        EXPECT_EQ(at % 8, 0u);
        // A slot never holds the chunk's bookkeeping nor crosses its end.
        EXPECT_GE(at % NodePool::kChunkBytes, NodePool::kSlotBytes);
        EXPECT_LE(at % NodePool::kChunkBytes + NodePool::kSlotBytes, NodePool::kChunkBytes);
        seen.insert(at);
    }
    EXPECT_EQ(seen.size(), slots.size());
    EXPECT_GE(NodePool::stats().chunks, before + 5);
    FreeSlots(slots);
    EXPECT_LE(ChunksAfterTrim(), before);
}

// A wholly free chunk is handed out slot after slot: a tree made in one go
// lies in memory in the order it was made.
TEST(NodePool, FreshChunksGoOutInAddressOrder) {
    ChunksAfterTrim();
    std::vector<void*> slots;
    std::thread([&] { slots = AllocateSlots(3 * NodePool::kSlotsPerChunk); }).join();
    size_t adjacent = 0;
    for (size_t i = 1; i < slots.size(); ++i)
        adjacent += static_cast<char*>(slots[i]) - static_cast<char*>(slots[i - 1]) == NodePool::kSlotBytes;
    // Slots filed under chunks still partly in use elsewhere may come first.
    EXPECT_GT(adjacent, 2 * NodePool::kSlotsPerChunk);
    FreeSlots(slots);
}

TEST(NodePool, FreedSlotsAreReused) {
    std::vector<void*> first = AllocateSlots(3000);
    std::set<void*> old(first.begin(), first.end());
    FreeSlots(first);
    std::vector<void*> second = AllocateSlots(3000);
    size_t reused = 0;
    for (void* p : second) reused += old.count(p);
    EXPECT_GT(reused, 2000u);
    FreeSlots(second);
}

TEST(NodePool, SlotsFreedOnAnotherThreadComeBackWhenItEnds) {
    size_t before = ChunksAfterTrim();
    std::vector<void*> slots = AllocateSlots(4 * NodePool::kSlotsPerChunk);
    // The freeing thread keeps some of them in its own magazines until it
    // ends; then they must reach the depot, or their chunks could never go.
    std::thread([&] { FreeSlots(slots); }).join();
    EXPECT_LE(ChunksAfterTrim(), before);
}

TEST(NodePool, TreeBuiltOnOneThreadDiesOnAnother) {
    size_t before = ChunksAfterTrim();
    auto* root = new DataNode;
    std::thread([&] {
        ListValue& items = root->asList();
        for (int i = 0; i < 100000; ++i) {
            DataNode& item = items.append();
            item.mapGet("n").setInt(i, ValueKind::Int64);
            item.mapGet("s").setStr("a string long enough to live on the heap", ValueKind::Text);
        }
    }).join();
    EXPECT_EQ(root->size(), 100000u);
    EXPECT_EQ(root->listAt(99999).mapGet("n").num(), 99999);
    delete root;
    EXPECT_LE(ChunksAfterTrim(), before);
}

TEST(NodePool, ManyThreadsTradeSlots) {
    size_t before = ChunksAfterTrim();
    constexpr int kThreads = 4;
    std::vector<std::vector<void*>> handoff(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                std::vector<void*> mine = AllocateSlots(2500);
                for (void* p : mine) EXPECT_EQ(static_cast<unsigned char*>(p)[39], 0xA5);
                FreeSlots(std::vector<void*>(mine.begin(), mine.begin() + 2000));
                mine.erase(mine.begin(), mine.begin() + 2000);
                handoff[t].insert(handoff[t].end(), mine.begin(), mine.end());
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (auto& slots : handoff) FreeSlots(slots);  // freed by a thread that did not make them
    EXPECT_LE(ChunksAfterTrim(), before);
}

}  // namespace
}  // namespace zk
