// HeapProbe: exact heap use of one piece of code, allocator overhead
// included. The benchmark binary defines malloc and its relatives (see
// heap_probe.cpp); while a probe is open, every block allocated is recorded
// with its glibc chunk size, so the live total and its peak are known.
//
// Only blocks allocated while the probe is open are counted: a block freed
// in the probe but allocated before it is ignored, so the probe measures
// what its code keeps and peaks at, not what it happens to release. Single
// threaded: no other thread may allocate while a probe is open.
#pragma once

#include <cstdint>

namespace zk::bench {

class HeapProbe {
public:
    HeapProbe();
    ~HeapProbe();
    HeapProbe(const HeapProbe&) = delete;
    HeapProbe& operator=(const HeapProbe&) = delete;

    // Bytes of the blocks allocated since the probe opened and still live.
    int64_t live() const;
    // The highest live() reached so far.
    int64_t peak() const;
    // Blocks counted in live().
    int64_t blocks() const;
    // The part of live() that is node pool chunks (see cases.cpp: nodes are
    // charged by the slot, not by the chunk they happen to land in).
    int64_t poolChunks() const;
};

}  // namespace zk::bench
