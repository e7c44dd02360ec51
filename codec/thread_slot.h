// ThreadSlot<T>: one T for each thread that asks, made on first use and
// destroyed when the thread ends.
//
// On Linux it is a thread_local. On Windows a thread_local with a destructor
// is registered through the C++ runtime, which pins the module and may unload
// it from inside the ending thread, where a host that has freed the module
// hangs; registering also changes the thread's last error, which the object
// layer publishes codes in. There the T lives on the heap behind a
// fiber-local slot, whose callback destroys it when the thread ends, and no
// lookup changes the last error.
#pragma once

#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zk {

template <class T>
class ThreadSlot {
public:
#ifdef _WIN32
    ThreadSlot() noexcept : slot_(FlsAlloc(&Destroy)) {}
    // Destroys the T of every thread (the module is going).
    ~ThreadSlot() {
        if (slot_ != FLS_OUT_OF_INDEXES) FlsFree(slot_);
    }

    // The calling thread's T; null when none can be made.
    T* get() noexcept {
        if (slot_ == FLS_OUT_OF_INDEXES) return nullptr;
        DWORD lastError = GetLastError();
        T* value = static_cast<T*>(FlsGetValue(slot_));
        if (!value) {
            value = new (std::nothrow) T();
            if (value && !FlsSetValue(slot_, value)) {
                delete value;
                value = nullptr;
            }
        }
        SetLastError(lastError);
        return value;
    }

private:
    static void NTAPI Destroy(void* value) { delete static_cast<T*>(value); }

    DWORD slot_;
#else
    ThreadSlot() noexcept = default;

    T* get() noexcept {
        static thread_local T value;
        return &value;
    }
#endif

public:
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;
};

}  // namespace zk
