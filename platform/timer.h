#pragma once
// A timer on the main run loop. The core relies on: the block runs on the main thread every
// interval (or once) until invalidated; the first firing comes one interval after scheduling.
#include <functional>
#include <memory>

namespace dralmik {

class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
};

class TimerScheduler {
public:
    virtual ~TimerScheduler() = default;
    virtual std::shared_ptr<Timer> scheduledTimer(double intervalSeconds, bool repeats,
                                                  std::function<void()> block) = 0;
};

}  // namespace dralmik
