// A second thread that runs one function while the calling thread waits on
// an atomic, with no platform call: on Windows, creating and joining a thread
// change the calling thread's last-error value, so a test of what is per
// thread makes the thread first and joins it last.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace zk::test {

class OtherThread {
public:
    explicit OtherThread(std::function<void()> work)
        : thread_([this, work = std::move(work)] {
              while (step_.load() == kWaiting) {
              }
              if (step_.load() == kCancelled) return;
              work();
              step_.store(kDone);
          }) {}
    OtherThread(const OtherThread&) = delete;
    OtherThread& operator=(const OtherThread&) = delete;
    ~OtherThread() {
        int waiting = kWaiting;
        step_.compare_exchange_strong(waiting, kCancelled);  // never run: end without the work
        thread_.join();
    }

    // Runs the work there and returns when it is done.
    void run() {
        step_.store(kRunning);
        while (step_.load() != kDone) {
        }
    }

private:
    static constexpr int kWaiting = 0, kRunning = 1, kDone = 2, kCancelled = 3;
    std::atomic<int> step_{kWaiting};
    std::thread thread_;
};

}  // namespace zk::test
