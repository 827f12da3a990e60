#include "platform/gtk/main_queue.h"

#include <glib.h>

namespace dralmik::gtk {

MainQueue::MainQueue() : shared_(std::make_shared<Shared>()) {}

MainQueue::~MainQueue() {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->pending.clear();
}

void MainQueue::post(std::function<void()> work) {
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
        g_idle_add_full(G_PRIORITY_DEFAULT, &MainQueue::drain, keep,
                        [](gpointer data) { delete static_cast<std::shared_ptr<Shared>*>(data); });
    }
}

int MainQueue::drain(void* data) {
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

}  // namespace dralmik::gtk
