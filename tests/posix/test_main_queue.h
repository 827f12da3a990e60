#pragma once
// A main queue the test thread pumps itself. Timeouts here only keep a broken build from
// hanging; no test asserts how long anything took.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/main_queue.h"

namespace dralmik::testing {

class TestMainQueue : public MainQueue {
public:
    void post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(work));
        changed_.notify_all();
    }

    // Runs posted work on the calling thread, in order, until the predicate holds (checked
    // before each piece of work and after it). False if the safety timeout ran out first.
    template <typename Predicate>
    bool runUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (done()) return true;
            std::function<void()> work;
            {
                std::unique_lock lock(mutex_);
                if (!changed_.wait_until(lock, deadline, [this] { return !pending_.empty(); })) return done();
                work = std::move(pending_.front());
                pending_.pop_front();
            }
            work();
        }
    }

    // Runs what has been posted so far, without waiting for more.
    void runPending() {
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(mutex_);
                if (pending_.empty()) return;
                work = std::move(pending_.front());
                pending_.pop_front();
            }
            work();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> pending_;
};

}  // namespace dralmik::testing
