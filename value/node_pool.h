// NodePool: the storage behind heap DataNodes.
//
// A tree of a million nodes is a million 40-byte blocks. Through malloc each
// one costs an 8-byte header, and making and freeing them was most of the
// time spent reading a document. Nodes come instead from 64 KiB chunks cut
// into 40-byte slots:
//  - each thread keeps free slots in two magazines of about kBatch slots and
//    trades whole magazines with a shared depot, so allocating and freeing
//    take no lock, and a node may be freed on any thread;
//  - the depot files the slots it gets back under their chunks; a chunk
//    whose every slot is back is kept for reuse (a few of them) or returned
//    to malloc, so a destroyed document does not stay reserved for nodes;
//  - a wholly free chunk goes to one thread and is handed out slot after
//    slot in address order, with no free list built through it first;
//  - a thread's magazines go back to the depot when the thread ends.
#pragma once

#include <cstddef>

namespace zk {

class NodePool {
public:
    static constexpr size_t kSlotBytes = 40;
    static constexpr size_t kChunkBytes = 64 * 1024;  // aligned, so a slot finds its chunk by masking
    // The first slot of a chunk holds its bookkeeping.
    static constexpr size_t kSlotsPerChunk = kChunkBytes / kSlotBytes - 1;
    static constexpr size_t kBatch = 1024;
    // Wholly free chunks kept for reuse (4 MiB): enough that reading and
    // dropping documents of a few MB in a loop never goes back to malloc.
    static constexpr size_t kSpareChunks = 64;

    // A slot of kSlotBytes, 8-byte aligned. Throws std::bad_alloc.
    static void* allocate();
    static void deallocate(void* slot) noexcept;

    // Hands the calling thread's free slots to the depot and returns every
    // wholly free chunk to malloc.
    static void trim() noexcept;

    struct Stats {
        size_t chunks;      // chunks taken from malloc and not yet returned
        size_t depotSlots;  // free slots filed in the depot
    };
    static Stats stats() noexcept;
};

}  // namespace zk
