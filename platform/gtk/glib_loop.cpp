#include "platform/gtk/glib_loop.h"

#include <glib.h>

#include <cmath>

namespace dralmik::gtk {

GLibMainQueue::GLibMainQueue() : shared_(std::make_shared<Shared>()) {}

GLibMainQueue::~GLibMainQueue() {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->pending.clear();
}

void GLibMainQueue::post(std::function<void()> work) {
    bool schedule = false;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->closed) return;
        shared_->pending.push_back(std::move(work));
        schedule = !shared_->drainScheduled;
        shared_->drainScheduled = true;
    }
    if (schedule) {
        // The source keeps the shared state alive until it has run.
        auto* keep = new std::shared_ptr<Shared>(shared_);
        g_idle_add_full(G_PRIORITY_DEFAULT, &GLibMainQueue::drain, keep,
                        [](gpointer data) { delete static_cast<std::shared_ptr<Shared>*>(data); });
    }
}

int GLibMainQueue::drain(void* data) {
    Shared& shared = **static_cast<std::shared_ptr<Shared>*>(data);
    // Runs what is queued now; work posted meanwhile joins the same pass, so the order holds.
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(shared.mutex);
            if (shared.pending.empty()) {
                shared.drainScheduled = false;
                return G_SOURCE_REMOVE;
            }
            work = std::move(shared.pending.front());
            shared.pending.pop_front();
        }
        if (work) work();
    }
}

namespace {

class GLibTimer : public Timer {
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

std::shared_ptr<Timer> GLibTimerScheduler::scheduledTimer(double intervalSeconds, bool repeats,
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
