#pragma once
// Runs work on the main thread later. The core relies on: post() may be called from any
// thread; posts run one at a time on the main thread, in the order they were made.
#include <functional>

namespace dralmik {

class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void post(std::function<void()> work) = 0;
};

}  // namespace dralmik
