#pragma once
// A child process whose standard output and standard error share one pipe. The core relies on:
// - launch() either starts the child and returns it, or returns no task and a description of
//   why it could not start; the child inherits standard input and the working directory;
// - every chunk read from the pipe reaches onRead, and the exit reaches onExit once, all
//   through the main queue, in order; onExit comes after the last chunk read before the pipe
//   reached end of file (or after a bounded wait when something else keeps the pipe open);
// - the exit status is the child's exit code, or the number of the signal that ended it;
// - stopReading() ends reading: chunks already posted are still delivered, nothing more is read;
// - terminate() sends SIGTERM while the child is still running, and nothing once it has exited.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dralmik {

struct TaskSpec {
    std::string executable;
    std::vector<std::string> arguments;  // after the program name, which is the executable
    std::map<std::string, std::string> environment;  // the complete environment
};

struct TaskHandlers {
    std::function<void(std::string bytes)> onRead;  // main thread
    std::function<void(int status)> onExit;         // main thread
};

class Task {
public:
    virtual ~Task() = default;
    virtual int processIdentifier() const = 0;
    virtual bool isRunning() const = 0;
    virtual void terminate() = 0;
    virtual void stopReading() = 0;
};

struct LaunchResult {
    std::shared_ptr<Task> task;  // none when the child could not be started
    std::string error;           // the reason, when there is no task
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual LaunchResult launch(const TaskSpec& spec, TaskHandlers handlers) = 0;
};

}  // namespace dralmik
