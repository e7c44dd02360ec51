#include "tests/alloc/fault_hooks.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "value/fault_injection.h"

// The linker sends every call to malloc, calloc and realloc in this program's
// own objects (the library's archives included) to the __wrap_ functions, and
// __real_ names the real ones: AddressSanitizer's, in a sanitized build.
extern "C" {
void* __real_malloc(size_t n);
void* __real_calloc(size_t count, size_t n);
void* __real_realloc(void* p, size_t n);

void* __wrap_malloc(size_t n) {
    if (zk::fault::ShouldFail()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __real_malloc(n);
}

void* __wrap_calloc(size_t count, size_t n) {
    if (zk::fault::ShouldFail()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __real_calloc(count, n);
}

// realloc(p, 0) frees, which cannot fail.
void* __wrap_realloc(void* p, size_t n) {
    if (n && zk::fault::ShouldFail()) {
        errno = ENOMEM;
        return nullptr;
    }
    return __real_realloc(p, n);
}
}

// operator new and delete over malloc and free, so that AddressSanitizer sees
// one consistent pair for every block.
namespace {

void* Allocate(size_t n) noexcept {
    if (zk::fault::ShouldFail()) return nullptr;
    return __real_malloc(n ? n : 1);
}

void* AllocateAligned(size_t n, std::align_val_t alignment) noexcept {
    if (zk::fault::ShouldFail()) return nullptr;
    size_t a = static_cast<size_t>(alignment);
    void* p = nullptr;
    return posix_memalign(&p, a < sizeof(void*) ? sizeof(void*) : a, n ? n : 1) == 0 ? p : nullptr;
}

void* AllocateOrThrow(size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}

void* AllocateAlignedOrThrow(size_t n, std::align_val_t alignment) {
    if (void* p = AllocateAligned(n, alignment)) return p;
    throw std::bad_alloc();
}

thread_local bool tLuaOutOfMemory = false;

// Shrinking must not fail: Lua relies on it.
void* LuaAllocate(void*, void* p, size_t oldSize, size_t n) {
    if (n == 0) {
        std::free(p);
        return nullptr;
    }
    bool grows = !p || n > oldSize;
    if (grows && (tLuaOutOfMemory || zk::fault::ShouldFail())) {
        tLuaOutOfMemory = true;
        return nullptr;
    }
    return __real_realloc(p, n);
}

// An error no protected call catches: the bridge or the module let one out.
int LuaPanic(lua_State* L) {
    std::fprintf(stderr, "unprotected Lua error: %s\n", lua_tostring(L, -1));
    std::abort();
}

}  // namespace

void* operator new(size_t n) { return AllocateOrThrow(n); }
void* operator new[](size_t n) { return AllocateOrThrow(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new(size_t n, std::align_val_t a) { return AllocateAlignedOrThrow(n, a); }
void* operator new[](size_t n, std::align_val_t a) { return AllocateAlignedOrThrow(n, a); }
void* operator new(size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return AllocateAligned(n, a); }
void* operator new[](size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return AllocateAligned(n, a); }

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace zk::alloc {

lua_State* SweepLuaState() {
    lua_State* L = lua_newstate(LuaAllocate, nullptr);
    if (L) lua_atpanic(L, LuaPanic);
    return L;
}

void Arm(long n) noexcept { fault::countdown = n; }

bool Disarm() noexcept {
    bool failed = fault::countdown < 0;
    fault::countdown = -1;
    tLuaOutOfMemory = false;
    return failed;
}

}  // namespace zk::alloc
