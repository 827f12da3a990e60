#pragma once
// A gateway child started before anything is ready to follow it. What it reports (the chunks
// read from it, then its exit) is kept in order until adopt() hands over the handlers that
// follow it; from then on its reports go straight to them.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/main_queue.h"
#include "platform/task.h"

namespace dralmik {

class ChildAhead : public std::enable_shared_from_this<ChildAhead> {
public:
    static std::shared_ptr<ChildAhead> launch(ProcessLauncher& launcher, const TaskSpec& spec);

    bool started() const { return launched_.task != nullptr; }

    // Takes the child over as a launch would start one, with the same result: the task, or why
    // it could not be started. What it reported so far follows on the main queue, never within
    // the caller, as a new child's first output would. Once only.
    LaunchResult adopt(TaskHandlers handlers, MainQueue& queue);

    // Stops a child that was never taken over, while it runs.
    void terminate();

private:
    struct Report {
        std::string bytes;
        std::optional<int> exitStatus;
    };
    void report(Report report);

    LaunchResult launched_;
    std::vector<Report> held_;
    std::optional<TaskHandlers> handlers_;
};

}  // namespace dralmik
