// Helpers for the depth tests: deep inputs and trees, and a thread with the
// small stack a host thread might have, to prove the depth bounds keep off
// its end.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>
#else
#include <pthread.h>
#include <sys/mman.h>
#endif

#include "zk_data/value/data_node.h"

namespace zk::test_support {

#ifdef _WIN32

template <class F>
DWORD WINAPI RunThread(void* f) {
    (*static_cast<F*>(f))();
    return 0;
}

// Runs f on a thread whose stack is the given size. The size must be the
// reservation: a plain size is only what is committed at first, and the
// thread would get the program's default stack.
template <class F>
void RunOnStack(size_t bytes, F f) {
    HANDLE thread = CreateThread(nullptr, bytes, RunThread<F>, &f, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

#else

// Runs f on a thread whose stack is the given size.
template <class F>
void RunOnStack(size_t bytes, F f) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<F*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, &f), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

#endif

// StackUsed paints the stack beforehand and counts the bytes the job changed.
constexpr unsigned char kPaint = 0xA5;

// Uninstrumented: the sanitizer's marks on frames that have returned do not
// make reading the painted memory a fault.
__attribute__((no_sanitize_address)) inline size_t Untouched(const unsigned char* low, size_t size) {
    size_t n = 0;
    while (n < size && low[n] == kPaint) ++n;
    return n;
}

#ifdef _WIN32

// Paints bytes below the caller's frame and returns their lowest address, as
// a number: the area is free again when this returns. alloca probes page by
// page, so Windows commits the pages of a stack that is only reserved.
__attribute__((noinline)) inline uintptr_t PaintBelow(size_t bytes) {
    auto* area = static_cast<unsigned char*>(alloca(bytes));
    std::memset(area, kPaint, bytes);
    asm volatile("" : : "r"(area) : "memory");  // the paint must not be left out as a dead store
    return reinterpret_cast<uintptr_t>(area);
}

// The bytes of a stack of the given size that job touched. A thread cannot
// be given memory of ours as its stack, so the thread paints its own below
// the frame it starts in, keeping clear of the guard pages at the end.
inline size_t StackUsed(size_t size, std::function<void()> job) {
    size_t used = SIZE_MAX;
    RunOnStack(size, [&] {
        ULONG_PTR low = 0, high = 0;
        GetCurrentThreadStackLimits(&low, &high);
        const size_t kGuard = 64 << 10;
        uintptr_t here = reinterpret_cast<uintptr_t>(&low);
        if (here - low <= kGuard) return;
        size_t room = here - low - kGuard;
        auto* area = reinterpret_cast<const unsigned char*>(PaintBelow(room));
        job();
        used = high - reinterpret_cast<uintptr_t>(area + Untouched(area, room));
    });
    return used;
}

#else

// The bytes of a stack of the given size that job touched: the thread runs
// on memory of ours, painted beforehand.
inline size_t StackUsed(size_t size, std::function<void()> job) {
    void* stack = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack == MAP_FAILED) return SIZE_MAX;
    std::memset(stack, kPaint, size);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack, size);
    pthread_t thread;
    size_t used = SIZE_MAX;
    auto run = [](void* p) -> void* {
        (*static_cast<std::function<void()>*>(p))();
        return nullptr;
    };
    if (pthread_create(&thread, &attr, run, &job) == 0) {
        pthread_join(thread, nullptr);
        used = size - Untouched(static_cast<const unsigned char*>(stack), size);
    }
    pthread_attr_destroy(&attr);
    munmap(stack, size);
    return used;
}

#endif

// open repeated levels times, then inner, then close repeated levels times.
inline std::string Nested(std::string_view open, std::string_view inner, std::string_view close, uint32_t levels) {
    std::string text;
    for (uint32_t i = 0; i < levels; ++i) text += open;
    text += inner;
    for (uint32_t i = 0; i < levels; ++i) text += close;
    return text;
}

// The node below levels containers of one shape under root: the first item
// of each list, the entry "a" of each map, made where missing. options go on
// every container on the way.
inline DataNode& Descend(DataNode& root, uint32_t levels, NodeType shape, uint32_t options = 0) {
    DataNode* n = &root;
    for (uint32_t i = 0; i < levels; ++i) {
        n->setOption(options, true);
        n = shape == NodeType::List ? &n->listAt(0) : &n->mapGet("a");
    }
    return *n;
}

}  // namespace zk::test_support
