#pragma once
// Child processes by posix_spawn, with standard output and standard error sharing one pipe.
//
// Each child gets two threads of its own: a reader, which posts every chunk it reads from the
// pipe to the main queue, and a waiter, which reaps the child and then posts its exit. Both
// threads keep the state they share alive themselves, so the Task object and the launcher may
// be dropped while the child still runs; the handlers go on being called until the pipe is
// closed and the child has exited. The main queue given to the launcher must outlive every
// child it started (in the application it lives as long as the process).
#include "platform/main_queue.h"
#include "platform/task.h"

namespace dralmik::posix {

class PosixProcessLauncher : public ProcessLauncher {
public:
    explicit PosixProcessLauncher(MainQueue& mainQueue) : mainQueue_(mainQueue) {}

    LaunchResult launch(const TaskSpec& spec, TaskHandlers handlers) override;

    // The largest chunk one read of the pipe delivers.
    static constexpr size_t kChunkSize = 64 * 1024;

private:
    MainQueue& mainQueue_;
};

}  // namespace dralmik::posix
