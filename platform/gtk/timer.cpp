#include "platform/gtk/timer.h"

#include <glib.h>

#include <cmath>

namespace dralmik::gtk {

namespace {

class GLibTimer : public dralmik::Timer {
public:
    struct State {
        std::function<void()> block;
        bool repeats = false;
        guint source = 0;
    };

    explicit GLibTimer(std::shared_ptr<State> state) : state_(std::move(state)) {}
    ~GLibTimer() override = default;  // a scheduled timer lives on until invalidated

    void invalidate() override {
        if (state_->source) {
            g_source_remove(state_->source);
            state_->source = 0;
        }
    }

private:
    std::shared_ptr<State> state_;
};

gboolean fire(gpointer data) {
    auto state = *static_cast<std::shared_ptr<GLibTimer::State>*>(data);  // a copy: the block may invalidate
    if (!state->repeats) state->source = 0;
    if (state->block) state->block();
    return state->repeats && state->source ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

}  // namespace

std::shared_ptr<dralmik::Timer> TimerScheduler::scheduledTimer(double intervalSeconds, bool repeats,
                                                          std::function<void()> block) {
    auto state = std::make_shared<GLibTimer::State>();
    state->block = std::move(block);
    state->repeats = repeats;
    const double ms = std::isfinite(intervalSeconds) ? std::max(0.0, intervalSeconds * 1000.0) : 0.0;
    auto* keep = new std::shared_ptr<GLibTimer::State>(state);
    state->source = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(std::min(ms, 4.0e9)), fire, keep,
                                       [](gpointer data) { delete static_cast<std::shared_ptr<GLibTimer::State>*>(data); });
    return std::make_shared<GLibTimer>(state);
}

}  // namespace dralmik::gtk
