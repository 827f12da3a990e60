// dralmik-helper: runs the gateway in one of its background modes. After preparing the home
// directory and the mode's log file it replaces itself with the JavaScript runtime, so the
// gateway keeps this process's id, parent, standard input and environment, and whoever
// started the tool supervises the gateway directly.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/fail.h"
#include "platform/posix/bundle_paths.h"

namespace {

constexpr std::string_view kUsage = "usage: dralmik-helper run gateway|remote";

struct Mode {
    std::string_view word;     // on the tool's command line; also names the log file
    std::string_view command;  // passed to the gateway program
};

// Matched exactly and case-sensitively: "Gateway" or "start" are not modes.
constexpr Mode kModes[] = {
    {"gateway", "start"},
    {"remote", "remote"},
};

std::optional<Mode> findMode(std::string_view word) {
    for (const Mode& mode : kModes) {
        if (mode.word == word) return mode;
    }
    return std::nullopt;
}

// The bundle this executable sits in. /proc/self/exe names the file actually running, whatever
// the working directory or argv[0]; argv[0] is only the fallback when the system cannot tell.
std::string bundleDirectory(const char* argv0) {
    std::string executable = dralmik::posix::currentExecutablePath().value_or(argv0);
    return dralmik::posix::bundleLayoutFor(executable).bundlePath;
}

// DRALMIK_HOME wins whenever it is defined, even empty: the change of directory then fails
// visibly instead of quietly running the gateway in the default home.
std::string chooseHomeDirectory() {
    return dralmik::posix::gatewayHomeDirectory(std::getenv("DRALMIK_HOME"),
                                                dralmik::posix::userHomeDirectory());
}

// Best effort: a folder that cannot be made only means the log file cannot be opened later,
// and the gateway then writes to the tool's own output.
void createLogDirectory(const std::string& home, const std::string& logDirectory) {
    // An empty home would make the log folder "/logs" at the root of the file system, for a run
    // that is bound to stop at the change of directory anyway.
    if (home.empty()) return;
    std::error_code ignored;
    std::filesystem::create_directories(logDirectory, ignored);
}

// Points standard output and standard error at the log file when it can be opened; otherwise
// leaves them as they are.
void redirectOutputTo(const std::string& logFile) {
    int fd = ::open(logFile.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return;
    ::dup2(fd, STDOUT_FILENO);
    ::dup2(fd, STDERR_FILENO);
    // When the tool was started with standard output or error closed, open hands back that
    // very number; closing it then would take the redirection away again.
    if (fd != STDOUT_FILENO && fd != STDERR_FILENO) ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.size() != 3) dralmik::fail(kUsage);
    if (args[1] != "run") dralmik::fail(kUsage);
    const std::string& value = args[2];
    std::optional<Mode> mode = findMode(value);
    if (!mode) dralmik::fail("unknown mode " + value);

    // Plain string concatenation throughout: nothing is normalised or made absolute, so a
    // relative home stays relative to wherever each step happens to run.
    const std::string resources = bundleDirectory(argv[0]) + "/Contents/Resources";
    const std::string runtime = resources + "/runtime/node";
    const std::string script = resources + "/app/dist/main.js";

    const std::string home = chooseHomeDirectory();
    const std::string logDirectory = home + "/logs";
    createLogDirectory(home, logDirectory);
    ::setenv("DRALMIK_HOME", home.c_str(), 1);
    if (::chdir(home.c_str()) != 0) dralmik::fail("cannot open " + home);
    // Opened after the change of directory, so a relative home is resolved from inside itself.
    redirectOutputTo(logDirectory + "/" + value + ".log");

    // The copies are never freed: either the process image is replaced or the tool exits.
    char* const gatewayArgs[] = {
        ::strdup(runtime.c_str()),
        ::strdup(script.c_str()),
        ::strdup(std::string(mode->command).c_str()),
        nullptr,
    };
    // Out of memory here would silently shorten the vector the gateway sees.
    for (int i = 0; i < 3; ++i) {
        if (gatewayArgs[i] == nullptr) dralmik::fail("cannot start " + runtime);
    }
    ::execv(runtime.c_str(), gatewayArgs);
    // Standard error may be the log file by now, which is where this message then belongs.
    dralmik::fail("cannot start " + runtime);
}
