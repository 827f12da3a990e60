#include "app/gateway/child_ahead.h"

#include <utility>

namespace dralmik {

std::shared_ptr<ChildAhead> ChildAhead::launch(ProcessLauncher& launcher, const TaskSpec& spec) {
    auto self = std::make_shared<ChildAhead>();
    // The handlers hold this record, and this record holds the task only until adopt(): no
    // cycle outlives the hand-over.
    TaskHandlers handlers;
    handlers.onRead = [self](std::string bytes) { self->report({std::move(bytes), std::nullopt}); };
    handlers.onExit = [self](int status) { self->report({{}, status}); };
    self->launched_ = launcher.launch(spec, std::move(handlers));
    return self;
}

LaunchResult ChildAhead::adopt(TaskHandlers handlers, MainQueue& queue) {
    LaunchResult result = std::move(launched_);
    launched_ = {};
    if (!result.task) return result;
    // Reports that arrive before this post runs are held too, behind the earlier ones.
    queue.post([self = shared_from_this(), handlers = std::move(handlers)]() mutable {
        std::vector<Report> held = std::exchange(self->held_, {});
        self->handlers_ = std::move(handlers);
        for (Report& report : held) self->report(std::move(report));
    });
    return result;
}

void ChildAhead::terminate() {
    if (launched_.task && launched_.task->isRunning()) launched_.task->terminate();
}

void ChildAhead::report(Report report) {
    if (!handlers_) {
        held_.push_back(std::move(report));
    } else if (report.exitStatus) {
        if (handlers_->onExit) handlers_->onExit(*report.exitStatus);
    } else if (handlers_->onRead) {
        handlers_->onRead(std::move(report.bytes));
    }
}

}  // namespace dralmik
