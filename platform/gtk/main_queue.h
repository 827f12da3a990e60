#pragma once
// The main queue on GLib's default main context; it needs no display.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/main_queue.h"

namespace dralmik::gtk {

// Posts run on the thread that iterates the default main context, one at a time and in the
// order they were made, whichever threads made them. GLib does not promise an order among
// sources of equal priority, so the queue keeps its own list and has at most one idle source
// pending to drain it.
class MainQueue final : public dralmik::MainQueue {
public:
    MainQueue();
    ~MainQueue() override;
    void post(std::function<void()> work) override;

private:
    struct Shared {
        std::mutex mutex;
        std::deque<std::function<void()>> pending;
        bool drainScheduled = false;
        bool closed = false;
    };
    static int drain(void* data);
    std::shared_ptr<Shared> shared_;
};

}  // namespace dralmik::gtk
