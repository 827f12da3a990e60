#pragma once
// Timers on GLib's default main context; they need no display.
#include <functional>
#include <memory>

#include "platform/timer.h"

namespace dralmik::gtk {

class TimerScheduler final : public dralmik::TimerScheduler {
public:
    std::shared_ptr<dralmik::Timer> scheduledTimer(double intervalSeconds, bool repeats, std::function<void()> block) override;
};

}  // namespace dralmik::gtk
