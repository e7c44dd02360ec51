// Helpers for the depth tests: deep inputs, and a thread with the small stack
// a host thread might have, to prove the depth bounds keep off its end.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zk::test_support {

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

// open repeated levels times, then inner, then close repeated levels times.
inline std::string Nested(std::string_view open, std::string_view inner, std::string_view close, uint32_t levels) {
    std::string text;
    for (uint32_t i = 0; i < levels; ++i) text += open;
    text += inner;
    for (uint32_t i = 0; i < levels; ++i) text += close;
    return text;
}

}  // namespace zk::test_support
