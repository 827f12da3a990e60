#include "platform/posix/posix_task.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <string>
#include <utility>
#include <vector>

namespace dralmik::posix {
namespace {

// How long the exit report waits, once the child has exited, for the pipe to reach end of file.
// The wait runs out only when something else holds the pipe's writing end (a process the child
// started and left running); reading then goes on and later chunks follow the exit.
constexpr auto kDrainWait = std::chrono::seconds(1);

// The status reported when the child's exit could not be observed: someone else in this
// process reaped it first.
constexpr int kUnknownStatus = -1;

std::string describeError(int error) { return std::generic_category().message(error); }

// Linux releases the descriptor even when close() is interrupted, so it is never retried.
void closeDescriptor(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// What the Task object and the child's two threads share. Each keeps it alive for as long as it
// needs it; the handlers are not in here, so that handlers which capture the Task object form no
// cycle with it.
struct Child {
    enum class Launch { pending, started, failed };

    std::mutex mutex;
    std::condition_variable changed;
    Launch launch = Launch::pending;
    pid_t pid = -1;
    // Set by the waiter once it has seen the exit and before it reaps: from then on the pid may
    // belong to another process, so nothing signals it.
    bool exited = false;
    bool reaped = false;
    bool stopRequested = false;
    // Set by the reader after it has posted its last chunk and closed its descriptors.
    bool readerDone = false;
    int readFd = -1;
    int wakeReadFd = -1;   // stopReading() writes a byte here to interrupt a blocked poll()
    int wakeWriteFd = -1;

    // Blocks until launch() has either started the child or given up; true when started.
    bool awaitLaunch() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return launch != Launch::pending; });
        return launch == Launch::started;
    }

    void settleLaunch(Launch outcome, pid_t childPid) {
        std::lock_guard lock(mutex);
        launch = outcome;
        pid = childPid;
        changed.notify_all();
    }

    // Only for launches that never started: the threads do not touch the descriptors then.
    void closeAllDescriptors() {
        std::lock_guard lock(mutex);
        closeDescriptor(readFd);
        closeDescriptor(wakeReadFd);
        closeDescriptor(wakeWriteFd);
    }
};

using SharedHandlers = std::shared_ptr<const TaskHandlers>;

// The handlers belong to the main thread, and whatever they hold (a toolkit object, say) must be
// let go there too: each thread hands its reference to the main queue when it is done with it.
void releaseOnMainQueue(SharedHandlers& handlers, MainQueue& queue) {
    queue.post([released = std::move(handlers)] {});
}

void readUntilEnd(const std::shared_ptr<Child>& child, SharedHandlers handlers, MainQueue& queue) {
    if (!child->awaitLaunch()) return releaseOnMainQueue(handlers, queue);
    std::string buffer(PosixProcessLauncher::kChunkSize, '\0');
    for (;;) {
        pollfd watched[2] = {{child->readFd, POLLIN, 0}, {child->wakeReadFd, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (watched[1].revents != 0) break;
        if (watched[0].revents == 0) continue;
        ssize_t count = ::read(child->readFd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            break;
        }
        if (count == 0) break;
        // Posting under the lock orders this chunk against stopReading() and the exit report.
        std::lock_guard lock(child->mutex);
        if (child->stopRequested) break;
        queue.post([handlers, bytes = buffer.substr(0, static_cast<size_t>(count))]() mutable {
            if (handlers->onRead) handlers->onRead(std::move(bytes));
        });
    }
    std::lock_guard lock(child->mutex);
    closeDescriptor(child->readFd);
    closeDescriptor(child->wakeReadFd);
    closeDescriptor(child->wakeWriteFd);
    child->readerDone = true;
    child->changed.notify_all();
    releaseOnMainQueue(handlers, queue);
}

void awaitExit(const std::shared_ptr<Child>& child, SharedHandlers handlers, MainQueue& queue) {
    if (!child->awaitLaunch()) return releaseOnMainQueue(handlers, queue);
    const pid_t pid = child->pid;

    // Look at the exit without reaping, so that the pid stays ours until terminate() can no
    // longer send it a signal.
    int status = kUnknownStatus;
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) == 0) {
            // si_status is the exit code for CLD_EXITED and the signal's number otherwise.
            status = info.si_status;
            break;
        }
        if (errno != EINTR) break;
    }
    {
        std::lock_guard lock(child->mutex);
        child->exited = true;
    }
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }

    std::unique_lock lock(child->mutex);
    child->reaped = true;
    child->changed.wait_for(lock, kDrainWait, [&] { return child->readerDone; });
    queue.post([handlers = std::move(handlers), status] {
        if (handlers->onExit) handlers->onExit(status);
    });
}

class PosixTask : public Task {
public:
    PosixTask(std::shared_ptr<Child> child, pid_t pid) : child_(std::move(child)), pid_(pid) {}

    // Dropping the task leaves the child and its handlers running.
    ~PosixTask() override = default;

    int processIdentifier() const override { return pid_; }

    bool isRunning() const override {
        std::lock_guard lock(child_->mutex);
        return !child_->reaped;
    }

    void terminate() override {
        std::lock_guard lock(child_->mutex);
        if (!child_->exited) ::kill(pid_, SIGTERM);
    }

    void stopReading() override {
        std::lock_guard lock(child_->mutex);
        if (child_->readerDone || child_->stopRequested) return;
        child_->stopRequested = true;
        const char wake = 1;
        // The wake pipe is non-blocking and holds at most this one byte.
        [[maybe_unused]] ssize_t written = ::write(child_->wakeWriteFd, &wake, 1);
    }

private:
    std::shared_ptr<Child> child_;
    pid_t pid_;
};

bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// A close-on-exec pipe whose ends are both 3 or above. A process started with its standard
// streams closed would otherwise get them as 1 or 2: the child's dup2() of the write end onto
// itself would then do nothing and leave the close-on-exec flag set, and the process's own later
// use of 0, 1 and 2 would land in this pipe.
bool openPipe(int ends[2], int flags) {
    if (::pipe2(ends, O_CLOEXEC | flags) != 0) return false;
    for (int i = 0; i < 2; ++i) {
        if (ends[i] > 2) continue;
        int moved = ::fcntl(ends[i], F_DUPFD_CLOEXEC, 3);
        int error = errno;
        closeDescriptor(ends[i]);
        ends[i] = moved;
        if (moved < 0) {
            closeDescriptor(ends[1 - i]);
            errno = error;
            return false;
        }
    }
    return true;
}

class SpawnSetup {
public:
    explicit SpawnSetup(int outputFd) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, outputFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions_, outputFd, STDERR_FILENO);

        // The child starts with no signal blocked, whichever thread launches it, and with
        // SIGPIPE at its default: toolkits commonly ignore SIGPIPE in their own process, and a
        // child that inherited that would not end when its reader goes away.
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

}  // namespace

LaunchResult PosixProcessLauncher::launch(const TaskSpec& spec, TaskHandlers handlers) {
    auto failure = [&spec](const std::string& reason) {
        return LaunchResult{nullptr, "Could not run " + spec.executable + ": " + reason};
    };

    // What cannot be passed through exec unchanged is refused rather than silently cut short.
    std::vector<std::string> argumentTexts;
    argumentTexts.reserve(spec.arguments.size() + 1);
    argumentTexts.push_back(spec.executable);
    argumentTexts.insert(argumentTexts.end(), spec.arguments.begin(), spec.arguments.end());
    for (const auto& argument : argumentTexts) {
        if (hasNul(argument)) return failure("an argument contains a NUL character");
    }
    std::vector<std::string> environmentTexts;
    environmentTexts.reserve(spec.environment.size());
    for (const auto& [name, value] : spec.environment) {
        if (name.empty() || name.find('=') != std::string::npos || hasNul(name) || hasNul(value)) {
            return failure("the environment variable name \"" + name.substr(0, name.find('\0')) +
                           "\" or its value cannot be passed to a program");
        }
        environmentTexts.push_back(name + "=" + value);
    }
    std::vector<char*> argv;
    for (auto& text : argumentTexts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& text : environmentTexts) envp.push_back(text.data());
    envp.push_back(nullptr);

    int output[2];
    if (!openPipe(output, 0)) return failure(describeError(errno));
    int wake[2];
    if (!openPipe(wake, O_NONBLOCK)) {
        int error = errno;
        closeDescriptor(output[0]);
        closeDescriptor(output[1]);
        return failure(describeError(error));
    }

    auto child = std::make_shared<Child>();
    child->readFd = output[0];
    child->wakeReadFd = wake[0];
    child->wakeWriteFd = wake[1];
    auto shared = std::make_shared<const TaskHandlers>(std::move(handlers));

    // Both threads exist before the child does, so a child is never left without its reaper.
    try {
        std::thread([child, shared, &queue = mainQueue_]() mutable { readUntilEnd(child, std::move(shared), queue); })
            .detach();
        std::thread([child, shared, &queue = mainQueue_]() mutable { awaitExit(child, std::move(shared), queue); })
            .detach();
    } catch (const std::system_error& error) {
        child->settleLaunch(Child::Launch::failed, -1);
        child->closeAllDescriptors();
        closeDescriptor(output[1]);
        return failure(std::string("could not start a thread: ") + error.what());
    }

    pid_t pid = -1;
    int error;
    {
        SpawnSetup setup(output[1]);
        error = ::posix_spawn(&pid, spec.executable.c_str(), setup.actions(), setup.attributes(), argv.data(),
                              envp.data());
    }
    // Only the child may hold the writing end, or the reader would never see end of file.
    closeDescriptor(output[1]);
    if (error != 0) {
        child->settleLaunch(Child::Launch::failed, -1);
        child->closeAllDescriptors();
        return failure(describeError(error));
    }
    child->settleLaunch(Child::Launch::started, pid);
    return {std::make_shared<PosixTask>(child, pid), {}};
}

}  // namespace dralmik::posix
