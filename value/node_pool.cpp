#include "value/node_pool.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "value/fault_injection.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// A free slot is poisoned but for a moment while its link is read or written,
// so a use of a freed node still trips AddressSanitizer.
#define ZK_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define ZK_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define ZK_POISON(p, n) ((void)(p), (void)(n))
#define ZK_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace zk {
namespace {

constexpr size_t kSlot = NodePool::kSlotBytes;

struct FreeSlot {
    FreeSlot* next;
};

FreeSlot* NextOf(FreeSlot* s) noexcept {
    ZK_UNPOISON(s, sizeof(FreeSlot));
    FreeSlot* next = s->next;
    ZK_POISON(s, sizeof(FreeSlot));
    return next;
}

void Link(FreeSlot* s, FreeSlot* next) noexcept {
    ZK_UNPOISON(s, sizeof(FreeSlot));
    s->next = next;
    ZK_POISON(s, sizeof(FreeSlot));
}

// A list of free slots owned by one thread, or in transit to or from the depot.
struct Magazine {
    FreeSlot* head = nullptr;
    size_t count = 0;

    void push(void* p) noexcept {
        auto* s = static_cast<FreeSlot*>(p);
        s->next = head;
        ZK_POISON(s, kSlot);
        head = s;
        ++count;
    }
    // Free slots are linked in whatever order they came back, so each one is
    // likely a cache miss: the next is fetched now, for the next allocation.
    void* pop() noexcept {
        FreeSlot* s = head;
        ZK_UNPOISON(s, kSlot);
        head = s->next;
        __builtin_prefetch(head, 1);
        --count;
        return s;
    }
};

// The slots of a wholly free chunk not yet handed out: they go out in
// address order, each next to the one before, and are never linked, so a
// chunk is not written through once just to build a free list.
struct Fresh {
    char* next = nullptr;
    char* end = nullptr;

    bool empty() const noexcept { return next == end; }
    void* take() noexcept {
        void* p = next;
        next += kSlot;
        ZK_UNPOISON(p, kSlot);
        return p;
    }
    // What is left, as a magazine (a thread handing its slots back).
    Magazine linked() noexcept {
        Magazine m;
        while (!empty()) m.push(take());
        return m;
    }
};

// The bookkeeping in a chunk's first slot.
struct Chunk {
    FreeSlot* free;     // this chunk's slots filed in the depot
    uint32_t freeCount;
    Chunk* prev;        // in the depot's list of chunks with filed slots
    Chunk* next;
};
static_assert(sizeof(Chunk) <= kSlot);

// Chunks are aligned to their size. Windows' C library has no aligned_alloc,
// and its aligned blocks need their own free.
void* AllocateAligned(size_t bytes) noexcept {
#ifdef _WIN32
    return _aligned_malloc(bytes, bytes);
#else
    return std::aligned_alloc(bytes, bytes);
#endif
}

void FreeAligned(void* block) noexcept {
#ifdef _WIN32
    _aligned_free(block);
#else
    std::free(block);
#endif
}

Chunk* ChunkOf(void* slot) noexcept {
    return reinterpret_cast<Chunk*>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t{NodePool::kChunkBytes - 1});
}

class Depot {
public:
    // Filed slots when there are; else none, and a wholly free chunk, kept
    // or new, as fresh.
    Magazine take(Fresh& fresh) {
        std::lock_guard<std::mutex> lock(mu_);
        Magazine m;
        while (m.count < NodePool::kBatch && partial_) takeFrom(partial_, m);
        if (!m.count) fresh = whole(spare_ ? takeSpare() : newChunk());
        return m;
    }

    void give(Magazine m) noexcept {
        std::lock_guard<std::mutex> lock(mu_);
        while (m.head) {
            FreeSlot* s = m.head;
            m.head = NextOf(s);
            file(s);
        }
    }

    void trim() noexcept {
        std::lock_guard<std::mutex> lock(mu_);
        while (spare_) {
            Chunk* c = spare_;
            spare_ = c->next;
            --spareCount_;
            release(c);
        }
    }

    NodePool::Stats stats() noexcept {
        std::lock_guard<std::mutex> lock(mu_);
        return {chunks_, filed_};
    }

private:
    Chunk* newChunk() {
        void* block = AllocateAligned(NodePool::kChunkBytes);
        if (!block) throw std::bad_alloc();
        ++chunks_;
        auto* c = static_cast<Chunk*>(block);
        *c = Chunk{nullptr, 0, nullptr, nullptr};
        return c;
    }

    void release(Chunk* c) noexcept {
        filed_ -= c->freeCount;
        --chunks_;
        ZK_UNPOISON(c, NodePool::kChunkBytes);
        FreeAligned(c);
    }

    // Every slot of a chunk that has none in use, in address order. A kept
    // chunk's filed list is dropped rather than followed: in the order its
    // slots came back, each node would be a cache miss of its own.
    static Fresh whole(Chunk* c) noexcept {
        c->free = nullptr;
        c->freeCount = 0;
        char* base = reinterpret_cast<char*>(c);
        Fresh f{base + kSlot, base + (NodePool::kSlotsPerChunk + 1) * kSlot};
        ZK_POISON(f.next, f.end - f.next);
        return f;
    }

    Chunk* takeSpare() noexcept {
        Chunk* c = spare_;
        spare_ = c->next;
        --spareCount_;
        filed_ -= c->freeCount;
        return c;
    }

    void takeFrom(Chunk* c, Magazine& m) noexcept {
        while (c->free && m.count < NodePool::kBatch) {
            FreeSlot* s = c->free;
            c->free = NextOf(s);
            Link(s, m.head);
            m.head = s;
            ++m.count;
            --c->freeCount;
            --filed_;
        }
        if (!c->free) unlinkPartial(c);
    }

    void file(FreeSlot* s) noexcept {
        Chunk* c = ChunkOf(s);
        Link(s, c->free);
        c->free = s;
        ++filed_;
        if (++c->freeCount == 1) linkPartial(c);
        if (c->freeCount < NodePool::kSlotsPerChunk) return;
        unlinkPartial(c);
        if (spareCount_ < NodePool::kSpareChunks) {
            c->next = spare_;
            spare_ = c;
            ++spareCount_;
        } else {
            release(c);
        }
    }

    void linkPartial(Chunk* c) noexcept {
        c->prev = nullptr;
        c->next = partial_;
        if (partial_) partial_->prev = c;
        partial_ = c;
    }

    void unlinkPartial(Chunk* c) noexcept {
        if (c->prev) c->prev->next = c->next;
        else partial_ = c->next;
        if (c->next) c->next->prev = c->prev;
        c->prev = c->next = nullptr;
    }

    std::mutex mu_;
    Chunk* partial_ = nullptr;  // chunks with some, not all, slots filed
    Chunk* spare_ = nullptr;    // wholly free chunks, linked through next
    size_t spareCount_ = 0;
    size_t chunks_ = 0;
    size_t filed_ = 0;
};

// Never destroyed: nodes may still be freed by static destructors that run
// after this file's.
Depot& TheDepot() {
    static Depot* depot = new Depot;
    return *depot;
}

// Per-thread state; RetireCache hands it back to the depot at thread end.
struct ThreadCache {
    Magazine loaded;  // allocations pop here, frees push here
    Magazine spare;   // empty, or a full magazine to swap in
    Fresh fresh;      // allocations take from here once loaded is empty
    bool registered = false;
    bool retired = false;
#ifdef _WIN32
    HANDLE owner = nullptr;     // the thread, to tell when a retired cache is free to reuse
    ThreadCache* next = nullptr;  // in the list of retired caches
#endif
};

// After retirement loaded.count reads as full, so every free takes the slow
// path, which files the slot straight into the depot.
constexpr size_t kRetired = ~size_t{0};

void RetireCache(ThreadCache& c) {
    Depot& depot = TheDepot();
    depot.give(std::exchange(c.loaded, Magazine{}));
    depot.give(std::exchange(c.spare, Magazine{}));
    depot.give(c.fresh.linked());
    c.loaded.count = kRetired;
    c.retired = true;
}

#ifdef _WIN32
// Windows: thread_local storage is emulated there, and a thread's emulated
// storage is freed before its thread_local destructors run, so a destructor
// could not reach the cache. The cache lives on the heap instead, found
// through a thread_local pointer, and a fiber-local slot's callback retires it
// when the thread ends (the callback gets the cache, not the thread's
// storage). A retired cache is reused by a later thread once its own thread
// has ended, so ending threads costs nothing that accumulates.
class CacheRegistry;
CacheRegistry& Registry();

class CacheRegistry {
public:
    CacheRegistry() : slot_(FlsAlloc(&Retire)) {}
    // Retires the cache of every thread still running (the module is going).
    ~CacheRegistry() {
        if (slot_ != FLS_OUT_OF_INDEXES) FlsFree(slot_);
    }

    // A cache for the calling thread, or null when none can be made.
    ThreadCache* attach() noexcept {
        ThreadCache* c = reuse();
        if (!c) c = new (std::nothrow) ThreadCache;
        if (!c) return nullptr;
        HANDLE process = GetCurrentProcess();
        if (!DuplicateHandle(process, GetCurrentThread(), process, &c->owner, SYNCHRONIZE, FALSE, 0)) c->owner = nullptr;
        // Without the slot the cache is never retired: its thread keeps its
        // cached slots, as every thread did before it ended.
        if (slot_ != FLS_OUT_OF_INDEXES) FlsSetValue(slot_, c);
        c->registered = true;
        return c;
    }

private:
    static void NTAPI Retire(void* cache) {
        auto* c = static_cast<ThreadCache*>(cache);
        RetireCache(*c);
        std::lock_guard<std::mutex> guard(Registry().mutex_);
        c->next = Registry().retired_;
        Registry().retired_ = c;
    }

    // A retired cache whose thread has ended, made fresh.
    ThreadCache* reuse() noexcept {
        std::lock_guard<std::mutex> guard(mutex_);
        for (ThreadCache** link = &retired_; *link; link = &(*link)->next) {
            ThreadCache* c = *link;
            if (c->owner && WaitForSingleObject(c->owner, 0) == WAIT_OBJECT_0) {
                *link = c->next;
                CloseHandle(c->owner);
                *c = ThreadCache{};
                return c;
            }
        }
        return nullptr;
    }

    friend CacheRegistry& Registry();
    DWORD slot_;
    std::mutex mutex_;
    ThreadCache* retired_ = nullptr;
};

CacheRegistry& Registry() {
    static CacheRegistry registry;
    return registry;
}

// Serves a thread for which no cache could be made: retired from the start,
// so every allocation and free goes through the depot, and never written.
ThreadCache& Unregistered() {
    static ThreadCache c = [] {
        ThreadCache r;
        r.loaded.count = kRetired;
        r.retired = true;
        return r;
    }();
    return c;
}

thread_local ThreadCache* tCache = nullptr;

ThreadCache& LocalCache() noexcept {
    if (ThreadCache* c = tCache) return *c;
    DWORD lastError = GetLastError();  // the platform calls below may change it
    ThreadCache* c = Registry().attach();
    SetLastError(lastError);
    if (!c) return Unregistered();
    tCache = c;
    return *c;
}

void Register(ThreadCache& c) { c.registered = true; }
#else
// Constant-initialised and trivially destructible, so the fast paths reach
// it without a guard; Retirer hands it back at thread end.
thread_local ThreadCache tCache;

ThreadCache& LocalCache() noexcept { return tCache; }

struct Retirer {
    bool armed = false;
    ~Retirer() { RetireCache(tCache); }
};
thread_local Retirer tRetirer;

void Register(ThreadCache& c) {
    c.registered = true;
    tRetirer.armed = true;  // first use constructs it and queues its destructor
}
#endif

void* Refill(ThreadCache& c) {
    if (c.retired) {
        Fresh fresh;
        Magazine m = TheDepot().take(fresh);
        if (!m.head) m = fresh.linked();
        void* p = m.pop();
        TheDepot().give(m);
        return p;
    }
    if (!c.registered) Register(c);
    if (c.spare.count) {
        std::swap(c.loaded, c.spare);
        return c.loaded.pop();
    }
    c.loaded = TheDepot().take(c.fresh);
    return c.loaded.head ? c.loaded.pop() : c.fresh.take();
}

void Spill(ThreadCache& c, void* p) noexcept {
    if (c.retired) {
        Magazine one;
        one.push(p);
        TheDepot().give(one);
        return;
    }
    if (c.spare.count) TheDepot().give(c.spare);
    c.spare = c.loaded;
    c.loaded = Magazine{};
    c.loaded.push(p);
}

}  // namespace

void* NodePool::allocate() {
    if (fault::ShouldFail()) throw std::bad_alloc();
    ThreadCache& c = LocalCache();
    if (c.loaded.head) return c.loaded.pop();
    if (!c.fresh.empty()) return c.fresh.take();
    return Refill(c);
}

void NodePool::deallocate(void* slot) noexcept {
    ThreadCache& c = LocalCache();
    if (c.loaded.count < kBatch && c.registered) {
        c.loaded.push(slot);
        return;
    }
    if (!c.registered && !c.retired) Register(c);
    if (c.loaded.count < kBatch) c.loaded.push(slot);
    else Spill(c, slot);
}

void NodePool::trim() noexcept {
    ThreadCache& c = LocalCache();
    if (!c.retired) {
        TheDepot().give(std::exchange(c.loaded, Magazine{}));
        TheDepot().give(std::exchange(c.spare, Magazine{}));
        TheDepot().give(c.fresh.linked());
    }
    TheDepot().trim();
}

NodePool::Stats NodePool::stats() noexcept { return TheDepot().stats(); }

}  // namespace zk
