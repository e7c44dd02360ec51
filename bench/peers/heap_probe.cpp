// The malloc family of this binary: each call forwards to glibc's own entry
// point (__libc_malloc and friends) and, while a HeapProbe is open, records
// the block. operator new and delete of libstdc++, expat and pugixml all end
// up here, so every library is counted the same way.
//
// A block counts as its glibc chunk: the size word in front of the block,
// i.e. malloc_usable_size() plus the 8-byte header (16 for mmapped blocks).
// That is what the allocator takes from the system for it, alignment padding
// included; free chunks kept in glibc's caches are not counted, as no library
// holds them. mallinfo2() would also count those caches, and the unused top
// of the heap not at all, so its deltas are off by up to a few KiB per size
// class; recording each block is exact and gives the peak as well.
//
// Blocks are recorded in an open-addressing table of pointers kept in its own
// mapping, so recording allocates nothing. Outside a probe the cost is one
// predictable branch per call: the timed loops run at full speed.
#include "bench/peers/heap_probe.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "value/node_pool.h"

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* p);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace zk::bench {
namespace {

// Room for 16 Mi live blocks at half load; pages are touched only as used.
constexpr int kSlotBits = 25;
constexpr size_t kSlots = size_t{1} << kSlotBits;

struct Recorder {
    bool open = false;
    uintptr_t* slots = nullptr;
    int64_t live = 0;
    int64_t peak = 0;
    int64_t blocks = 0;
    int64_t chunks = 0;  // bytes of the live blocks that are node pool chunks

    static size_t home(uintptr_t p) { return static_cast<size_t>(((p >> 4) * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits)); }
    static int64_t chunkSize(const void* p) {
        uint64_t word = static_cast<const uint64_t*>(p)[-1];
        return static_cast<int64_t>(word & ~uint64_t{7});  // low bits are flags
    }
    // The node pool's chunks are the only blocks aligned to their own size.
    static bool isPoolChunk(uintptr_t p, int64_t size) {
        constexpr int64_t kChunk = NodePool::kChunkBytes;
        return p % kChunk == 0 && size >= kChunk && size < kChunk + 4096;
    }

    void add(void* block) {
        uintptr_t p = reinterpret_cast<uintptr_t>(block);
        size_t i = home(p);
        while (slots[i]) i = (i + 1) & (kSlots - 1);
        slots[i] = p;
        ++blocks;
        int64_t size = chunkSize(block);
        live += size;
        if (isPoolChunk(p, size)) chunks += size;
        if (live > peak) peak = live;
    }

    // False when the block was not allocated under the probe.
    bool remove(void* block) {
        uintptr_t p = reinterpret_cast<uintptr_t>(block);
        size_t i = home(p);
        while (slots[i] != p) {
            if (!slots[i]) return false;
            i = (i + 1) & (kSlots - 1);
        }
        --blocks;
        int64_t size = chunkSize(block);
        live -= size;
        if (isPoolChunk(p, size)) chunks -= size;
        // Backward-shift deletion keeps probe chains whole without tombstones,
        // so the table is all zeros again once every block is gone.
        for (size_t j = i;;) {
            j = (j + 1) & (kSlots - 1);
            if (!slots[j]) break;
            size_t h = home(slots[j]);
            bool stays = i <= j ? (i < h && h <= j) : (i < h || h <= j);
            if (stays) continue;
            slots[i] = slots[j];
            i = j;
        }
        slots[i] = 0;
        return true;
    }
};

Recorder g_recorder;

void* Track(void* p) {
    if (g_recorder.open && p) g_recorder.add(p);
    return p;
}

}  // namespace

HeapProbe::HeapProbe() {
    Recorder& r = g_recorder;
    if (r.open) std::abort();  // probes do not nest
    if (!r.slots) {
        void* m = mmap(nullptr, kSlots * sizeof(uintptr_t), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (m == MAP_FAILED) throw std::bad_alloc();
        r.slots = static_cast<uintptr_t*>(m);
    }
    r.live = r.peak = r.blocks = r.chunks = 0;
    r.open = true;
}

HeapProbe::~HeapProbe() {
    Recorder& r = g_recorder;
    r.open = false;
    // Blocks still live (caches a library keeps) leave slots behind.
    if (r.blocks) madvise(r.slots, kSlots * sizeof(uintptr_t), MADV_DONTNEED);
}

int64_t HeapProbe::live() const { return g_recorder.live; }
int64_t HeapProbe::peak() const { return g_recorder.peak; }
int64_t HeapProbe::blocks() const { return g_recorder.blocks; }
int64_t HeapProbe::poolChunks() const { return g_recorder.chunks; }

}  // namespace zk::bench

using zk::bench::g_recorder;
using zk::bench::Track;

extern "C" {

void* malloc(size_t size) noexcept { return Track(__libc_malloc(size)); }

void free(void* p) noexcept {
    if (g_recorder.open && p) g_recorder.remove(p);
    __libc_free(p);
}

void* calloc(size_t count, size_t size) noexcept { return Track(__libc_calloc(count, size)); }

// A block resized under the probe counts whole from then on, even when it was
// allocated before: its growth is the probe's doing.
void* realloc(void* p, size_t size) noexcept {
    if (!g_recorder.open) return __libc_realloc(p, size);
    bool counted = p && g_recorder.remove(p);
    void* q = __libc_realloc(p, size);
    if (q) return Track(q);
    if (counted && size) g_recorder.add(p);  // failed: p is still there
    return q;
}

void* memalign(size_t alignment, size_t size) noexcept { return Track(__libc_memalign(alignment, size)); }

void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    if (alignment % sizeof(void*) || (alignment & (alignment - 1))) return EINVAL;
    void* p = memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}

void* valloc(size_t size) noexcept { return memalign(4096, size); }

void* pvalloc(size_t size) noexcept { return memalign(4096, (size + 4095) & ~size_t{4095}); }

}  // extern "C"
