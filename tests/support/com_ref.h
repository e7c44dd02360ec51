// Owners of the interface references a test receives, and the short ways to
// make and take apart VARIANT arguments that need no platform function.
// Header-only: host tests that reach the module by loading it use it too.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "zk_data/zk_data.h"

namespace zk::test {

// Owns one interface reference.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    Ref(Ref&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { reset(); }

    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: the previous reference is released first.
    T** out() {
        reset();
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }

private:
    T* p_ = nullptr;
};

inline VARIANT Typed(VARTYPE vt, int64_t bits = 0) {
    VARIANT v;
    v.vt = vt;
    v.llVal = bits;
    return v;
}

// The object inside a VT_DISPATCH variant, with a reference of its own.
inline Ref<IDataValue> ObjectIn(const VARIANT& v) {
    Ref<IDataValue> value;
    EXPECT_EQ(v.vt, VT_DISPATCH);
    if (v.vt == VT_DISPATCH && v.pdispVal) v.pdispVal->QueryInterface(IID_IDataValue, value.outVoid());
    return value;
}

}  // namespace zk::test
