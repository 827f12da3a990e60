// Real children run by /bin/sh, observed through the main queue the way the application sees
// them. Children that must wait for the test wait for a flag file, never for a clock.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/posix/posix_task.h"
#include "test_main_queue.h"

namespace dralmik::posix {
namespace {

using dralmik::testing::TestMainQueue;

// One queue for the whole run: a child's threads may post after its test has ended, and what
// they post only touches the shared Recording of that test.
TestMainQueue& queue() {
    static auto* instance = new TestMainQueue;
    return *instance;
}

struct Recording {
    std::string output;
    std::vector<std::string> chunks;
    std::vector<int> exits;
    std::string outputAtExit;
    std::vector<std::string> events;  // "read:<bytes>" and "exit"
};

struct ChildRun {
    std::shared_ptr<Task> task;
    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
    std::string error;
};

TaskHandlers recordInto(const std::shared_ptr<Recording>& recording) {
    return {[recording](std::string bytes) {
                recording->output += bytes;
                recording->events.push_back("read:" + bytes);
                recording->chunks.push_back(std::move(bytes));
            },
            [recording](int status) {
                recording->exits.push_back(status);
                recording->outputAtExit = recording->output;
                recording->events.push_back("exit");
            }};
}

std::map<std::string, std::string> plainEnvironment(std::map<std::string, std::string> extra = {}) {
    extra.emplace("PATH", "/usr/bin:/bin");
    return extra;
}

ChildRun launch(ProcessLauncher& launcher, TaskSpec spec) {
    ChildRun run;
    auto result = launcher.launch(spec, recordInto(run.recording));
    run.task = result.task;
    run.error = result.error;
    return run;
}

ChildRun runScript(ProcessLauncher& launcher, const std::string& script, std::map<std::string, std::string> env = {}) {
    return launch(launcher, {"/bin/sh", {"-c", script}, plainEnvironment(std::move(env))});
}

bool waitForExit(const ChildRun& run) {
    return queue().runUntil([&] { return !run.recording->exits.empty(); });
}

bool waitForOutput(const ChildRun& run, const std::string& text) {
    return queue().runUntil([&] { return run.recording->output.find(text) != std::string::npos; });
}

// Polls a condition the main queue cannot announce (threads winding down).
template <typename Predicate>
bool eventually(Predicate done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::set<int> openDescriptors() {
    std::set<int> result;
    DIR* dir = opendir("/proc/self/fd");
    int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        int fd = std::atoi(entry->d_name);
        if (fd != own) result.insert(fd);
    }
    closedir(dir);
    return result;
}

std::vector<int> zombieChildren() {
    std::vector<int> zombies;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream statFile(entry.path() / "stat");
        std::string line;
        if (!std::getline(statFile, line)) continue;
        // pid (comm) state ppid ...: comm may hold spaces, so read after the last ')'.
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == self && state == "Z") zombies.push_back(std::atoi(entry.path().filename().c_str()));
    }
    return zombies;
}

class FlagFile {
public:
    FlagFile() {
        char pattern[] = "/tmp/dralmik-flag-XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/go";
    }
    ~FlagFile() { std::filesystem::remove_all(dir_); }
    const std::string& path() const { return path_; }
    void raise() const { std::ofstream(path_) << "go"; }
    // A shell loop that waits until the flag is raised.
    static std::string await() { return "while [ ! -e \"$FLAG\" ]; do sleep 0.02; done; "; }

private:
    std::string dir_;
    std::string path_;
};

class ChildProcessTest : public ::testing::Test {
protected:
    PosixProcessLauncher launcher{queue()};
};

TEST_F(ChildProcessTest, StandardOutputAndErrorShareOnePipeInWriteOrder) {
    auto run = runScript(launcher, "printf 'one\\n'; printf 'two\\n' >&2; printf 'three\\n'; printf 'four\\n' >&2");
    ASSERT_TRUE(run.task) << run.error;
    ASSERT_TRUE(waitForExit(run));
    EXPECT_EQ(run.recording->output, "one\ntwo\nthree\nfour\n");
    EXPECT_EQ(run.recording->exits, std::vector<int>{0});
}

TEST_F(ChildProcessTest, ExitStatusIsTheExitCodeOrTheSignalNumber) {
    struct Case {
        std::string script;
        int status;
        std::string output;
    };
    const Case cases[] = {
        {"exit 0", 0, ""},
        {"exit 3", 3, ""},  // writes nothing at all
        {"echo bye; exit 255", 255, "bye\n"},
        {"kill -KILL $$", SIGKILL, ""},
        {"echo going; kill -TERM $$", SIGTERM, "going\n"},
        {"kill -SEGV $$", SIGSEGV, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        auto run = runScript(launcher, c.script);
        ASSERT_TRUE(run.task) << run.error;
        ASSERT_TRUE(waitForExit(run));
        EXPECT_EQ(run.recording->exits, std::vector<int>{c.status});
        EXPECT_EQ(run.recording->outputAtExit, c.output);
        EXPECT_FALSE(run.task->isRunning());
    }
}

TEST_F(ChildProcessTest, BytesArriveExactlyAsWritten) {
    // Invalid UTF-8 passes through untouched; a character split over two writes, with the
    // reader given every chance to take the halves apart, is whole once the chunks are joined.
    FlagFile flag;
    auto run = runScript(launcher,
                         "printf 'a\\377\\376b\\300\\n'; printf '\\342\\202'; " + FlagFile::await() +
                             "printf '\\254 end'",
                         {{"FLAG", flag.path()}});
    ASSERT_TRUE(run.task) << run.error;
    ASSERT_TRUE(waitForOutput(run, "\342\202"));
    flag.raise();
    ASSERT_TRUE(waitForExit(run));
    EXPECT_EQ(run.recording->output, "a\377\376b\300\n\342\202\254 end");
    EXPECT_GE(run.recording->chunks.size(), 2u);
}

TEST_F(ChildProcessTest, LargeOutputArrivesWholeInBoundedChunks) {
    auto run = runScript(launcher, "i=0; while [ $i -lt 40000 ]; do echo \"line $i\"; i=$((i+1)); done");
    ASSERT_TRUE(run.task) << run.error;
    ASSERT_TRUE(waitForExit(run));
    std::string expected;
    for (int i = 0; i < 40000; ++i) expected += "line " + std::to_string(i) + "\n";
    // Compared as a whole: a diff of two 300 kB texts would take gtest minutes to print.
    EXPECT_EQ(run.recording->outputAtExit.size(), expected.size());
    EXPECT_TRUE(run.recording->outputAtExit == expected);
    for (const auto& chunk : run.recording->chunks) {
        EXPECT_FALSE(chunk.empty());
        EXPECT_LE(chunk.size(), PosixProcessLauncher::kChunkSize);
    }
}

TEST_F(ChildProcessTest, ChildGetsExactlyTheGivenArgumentsAndEnvironment) {
    auto args = launch(launcher, {"/bin/sh", {"-c", "tr '\\000' '\\n' < /proc/$$/cmdline", "name", "two words", ""},
                                  plainEnvironment()});
    ASSERT_TRUE(args.task) << args.error;
    ASSERT_TRUE(waitForExit(args));
    // The program name in front is the executable's path.
    EXPECT_EQ(args.recording->output, "/bin/sh\n-c\ntr '\\000' '\\n' < /proc/$$/cmdline\nname\ntwo words\n\n");

    auto env = launch(launcher, {"/usr/bin/env", {}, {{"ONE", "1"}, {"EMPTY", ""}, {"SPACED", " a = b "}}});
    ASSERT_TRUE(env.task) << env.error;
    ASSERT_TRUE(waitForExit(env));
    EXPECT_EQ(env.recording->output, "EMPTY=\nONE=1\nSPACED= a = b \n");
}

TEST_F(ChildProcessTest, LastLineWrittenBeforeExitArrivesBeforeTheExit) {
    for (int i = 0; i < 40; ++i) {
        auto run = runScript(launcher, "printf 'starting\\n'; printf 'fatal: port in use\\n' >&2; exit 1");
        ASSERT_TRUE(run.task) << run.error;
        ASSERT_TRUE(waitForExit(run));
        ASSERT_EQ(run.recording->outputAtExit, "starting\nfatal: port in use\n") << "attempt " << i;
        ASSERT_EQ(run.recording->events.back(), "exit");
    }
}

TEST_F(ChildProcessTest, ExitIsReportedWhileAGrandchildHoldsThePipeAndItsTextStillArrives) {
    FlagFile flag;
    auto run = runScript(launcher, "( " + FlagFile::await() + "echo late ) & echo early; exit 5",
                         {{"FLAG", flag.path()}});
    ASSERT_TRUE(run.task) << run.error;
    // The grandchild cannot write before the flag is raised, and the flag waits for the exit.
    ASSERT_TRUE(waitForExit(run));
    EXPECT_EQ(run.recording->exits, std::vector<int>{5});
    EXPECT_EQ(run.recording->outputAtExit, "early\n");
    EXPECT_FALSE(run.task->isRunning());

    flag.raise();
    ASSERT_TRUE(waitForOutput(run, "late\n"));
    EXPECT_EQ(run.recording->output, "early\nlate\n");
    EXPECT_EQ(run.recording->events, (std::vector<std::string>{"read:early\n", "exit", "read:late\n"}));
}

TEST_F(ChildProcessTest, TerminateSignalsOnlyARunningChild) {
    // A launching thread that blocks SIGTERM must not hand that mask on to the child.
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &term, &previous);
    auto run = runScript(launcher, "echo ready; exec sleep 60");
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(run.task) << run.error;
    ASSERT_TRUE(waitForOutput(run, "ready\n"));
    EXPECT_TRUE(run.task->isRunning());
    EXPECT_GT(run.task->processIdentifier(), 0);

    run.task->terminate();
    ASSERT_TRUE(waitForExit(run));
    EXPECT_EQ(run.recording->exits, std::vector<int>{SIGTERM});
    EXPECT_FALSE(run.task->isRunning());

    // After the exit the pid is no longer this child's: terminate() does nothing and reports
    // no second exit.
    run.task->terminate();
    run.task->terminate();
    queue().runPending();
    EXPECT_EQ(run.recording->exits.size(), 1u);

    auto done = runScript(launcher, "exit 0");
    ASSERT_TRUE(done.task) << done.error;
    ASSERT_TRUE(waitForExit(done));
    done.task->terminate();
    queue().runPending();
    EXPECT_EQ(done.recording->exits, std::vector<int>{0});
}

TEST_F(ChildProcessTest, StopReadingInterruptsABlockedReadAndDeliversNothingMore) {
    // This process ignores SIGPIPE, as toolkits do; the child must not inherit that, so once
    // nobody reads its pipe any more its next write ends it.
    struct sigaction ignore{}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    FlagFile flag;
    auto run = runScript(launcher, "echo one; " + FlagFile::await() + "echo two; touch \"$FLAG.wrote\"; echo three",
                         {{"FLAG", flag.path()}});
    sigaction(SIGPIPE, &previous, nullptr);
    ASSERT_TRUE(run.task) << run.error;
    ASSERT_TRUE(waitForOutput(run, "one\n"));

    // The reader sits in poll() now, the child waiting for the flag. Once the reader has let go
    // of its three descriptors (the pipe and its wake-up pipe), the child's next write fails.
    const auto before = openDescriptors();
    run.task->stopReading();
    ASSERT_TRUE(eventually([&] {
        auto now = openDescriptors();
        return std::count_if(before.begin(), before.end(), [&](int fd) { return !now.count(fd); }) >= 3;
    }));
    flag.raise();
    ASSERT_TRUE(waitForExit(run));
    EXPECT_EQ(run.recording->output, "one\n");
    EXPECT_EQ(run.recording->exits, std::vector<int>{SIGPIPE});
    EXPECT_FALSE(std::filesystem::exists(flag.path() + ".wrote"));
    run.task->stopReading();  // again, after the reader is gone: harmless
}

TEST_F(ChildProcessTest, ALauncherWithoutStandardStreamsStillGivesTheChildItsOutput) {
    // Desktop sessions may start the application with 1 and 2 closed; its pipes must then stay
    // clear of those numbers, both for the child and for whoever opens 1 and 2 later.
    fflush(stdout);
    fflush(stderr);
    int savedOut = dup(STDOUT_FILENO);
    int savedErr = dup(STDERR_FILENO);
    close(STDOUT_FILENO);
    close(STDERR_FILENO);
    auto run = runScript(launcher, "echo out; echo err >&2");
    bool standardStreamsFree = fcntl(STDOUT_FILENO, F_GETFD) < 0 && fcntl(STDERR_FILENO, F_GETFD) < 0;
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);

    ASSERT_TRUE(run.task) << run.error;
    EXPECT_TRUE(standardStreamsFree);
    ASSERT_TRUE(waitForExit(run));
    EXPECT_EQ(run.recording->output, "out\nerr\n");
}

TEST_F(ChildProcessTest, HandlersOutliveTheTaskAndTheLauncher) {
    FlagFile flag;
    auto recording = std::make_shared<Recording>();
    std::weak_ptr<Task> weakTask;
    {
        PosixProcessLauncher shortLived(queue());
        auto result = shortLived.launch(
            {"/bin/sh", {"-c", "echo a; " + FlagFile::await() + "echo b; exit 4"}, plainEnvironment({{"FLAG", flag.path()}})},
            recordInto(recording));
        ASSERT_TRUE(result.task) << result.error;
        weakTask = result.task;
    }
    EXPECT_TRUE(weakTask.expired());
    flag.raise();
    ASSERT_TRUE(queue().runUntil([&] { return !recording->exits.empty(); }));
    EXPECT_EQ(recording->outputAtExit, "a\nb\n");
    EXPECT_EQ(recording->exits, std::vector<int>{4});
}

// Notes the thread it is destroyed on.
struct DestructionWitness {
    std::shared_ptr<std::optional<std::thread::id>> destroyedOn = std::make_shared<std::optional<std::thread::id>>();
    struct Marker {
        std::shared_ptr<std::optional<std::thread::id>> out;
        ~Marker() { *out = std::this_thread::get_id(); }
    };
    std::shared_ptr<Marker> marker() const { return std::make_shared<Marker>(Marker{destroyedOn}); }
};

TEST_F(ChildProcessTest, HandlersAreLetGoOnTheMainThreadAndNothingElseKeepsThem) {
    // The application's handlers may well capture the task; once the child is done and its
    // posts have run, nothing may hold on to the handlers, and what they hold is released on the
    // thread that pumps the main queue.
    DestructionWitness witness;
    {
        auto exited = std::make_shared<bool>(false);
        auto holder = std::make_shared<std::shared_ptr<Task>>();
        auto marker = witness.marker();
        TaskHandlers handlers{[holder, marker](std::string) {}, [holder, exited](int) { *exited = true; }};
        marker.reset();
        auto result = launcher.launch({"/bin/sh", {"-c", "echo hi"}, plainEnvironment()}, std::move(handlers));
        ASSERT_TRUE(result.task) << result.error;
        *holder = result.task;
        result.task.reset();
        ASSERT_TRUE(queue().runUntil([&] { return *exited; }));
    }
    EXPECT_TRUE(eventually([&] {
        queue().runPending();
        return witness.destroyedOn->has_value();
    }));
    EXPECT_EQ(*witness.destroyedOn, std::this_thread::get_id());
}

TEST_F(ChildProcessTest, ALaunchThatCannotStartGivesAReasonAndLeavesNothingOpen) {
    const auto before = openDescriptors();

    auto missing = launch(launcher, {"/nonexistent/runtime/node", {"main.js"}, plainEnvironment()});
    EXPECT_FALSE(missing.task);
    EXPECT_NE(missing.error.find("/nonexistent/runtime/node"), std::string::npos) << missing.error;
    EXPECT_NE(missing.error.find("No such file or directory"), std::string::npos) << missing.error;

    char pattern[] = "/tmp/dralmik-noexec-XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    auto notExecutable = launch(launcher, {pattern, {}, plainEnvironment()});
    unlink(pattern);
    EXPECT_FALSE(notExecutable.task);
    EXPECT_NE(notExecutable.error.find("Permission denied"), std::string::npos) << notExecutable.error;

    // Texts exec would cut short at a NUL, and names that would change meaning, are refused.
    const TaskSpec refused[] = {
        {"/bin/sh", {"-c", std::string("echo a\0b", 8)}, plainEnvironment()},
        {"/bin/sh", {"-c", "true"}, {{"A=B", "c"}}},
        {"/bin/sh", {"-c", "true"}, {{"", "c"}}},
        {"/bin/sh", {"-c", "true"}, {{"A", std::string("x\0y", 3)}}},
    };
    for (const auto& spec : refused) {
        auto run = launch(launcher, spec);
        EXPECT_FALSE(run.task);
        EXPECT_FALSE(run.error.empty());
    }

    queue().runPending();
    EXPECT_TRUE(missing.recording->events.empty());
    for (int fd : openDescriptors()) EXPECT_TRUE(before.count(fd)) << "descriptor " << fd << " left open";
}

TEST_F(ChildProcessTest, ManyStartsLeaveNoDescriptorOpenAndNoZombie) {
    const auto before = openDescriptors();
    for (int round = 0; round < 20; ++round) {
        std::vector<ChildRun> runs;
        for (int i = 0; i < 10; ++i) {
            runs.push_back(runScript(launcher, "echo " + std::to_string(i) + "; echo err >&2"));
            ASSERT_TRUE(runs.back().task) << runs.back().error;
        }
        for (const auto& run : runs) {
            ASSERT_TRUE(waitForExit(run));
            EXPECT_EQ(run.recording->outputAtExit.size(), 6u);
        }
    }
    // Every descriptor still open was open before: other tests' leftover readers may close some
    // in the meantime, but nothing here may stay open.
    for (int fd : openDescriptors()) EXPECT_TRUE(before.count(fd)) << "descriptor " << fd << " left open";
    EXPECT_EQ(zombieChildren(), std::vector<int>{});
}

}  // namespace
}  // namespace dralmik::posix
