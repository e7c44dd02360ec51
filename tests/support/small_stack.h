// Helpers for the depth tests: deep inputs and trees, and a thread with the
// small stack a host thread might have, to prove the depth bounds keep off
// its end.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zk_data/value/data_node.h"

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
