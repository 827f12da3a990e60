#include "platform/gtk/app_service.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/file_io.h"
#include "platform/posix/property_list.h"

namespace dralmik::gtk {
namespace {

constexpr const char* kGroup = "Desktop Entry";

std::string resolve(const std::string& path, const std::string& bundlePath) {
    if (!path.empty() && path.front() == '/') return path;
    return bundlePath + "/" + path;
}

}  // namespace

std::optional<AgentProgram> readAgentProgram(const std::string& plistPath, const std::string& bundlePath) {
    const auto list = posix::readPropertyList(plistPath);
    if (!list) return std::nullopt;
    AgentProgram program;
    program.arguments = list->stringArray("ProgramArguments");
    // BundleProgram names the executable; ProgramArguments then gives argv, whose first
    // element is only the program's name.
    auto executable = list->string("BundleProgram");
    if (!executable) executable = list->string("Program");
    if (executable) {
        if (program.arguments.empty())
            program.arguments.push_back(*executable);
        else
            program.arguments.front() = *executable;
    }
    if (program.arguments.empty() || program.arguments.front().empty()) return std::nullopt;
    program.arguments.front() = resolve(program.arguments.front(), bundlePath);
    return program;
}

std::string quoteExecArgument(const std::string& argument) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
    if (quote) out += '"';
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    if (quote) out += '"';
    return out;
}

std::string execLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i) line += ' ';
        // The executable is always quoted, so a path with spaces can never split.
        std::string quoted = quoteExecArgument(arguments[i]);
        if (i == 0 && quoted.front() != '"') quoted = '"' + quoted + '"';
        line += quoted;
    }
    return line;
}

AgentService::AgentService(std::string plistPath, std::string bundlePath, std::string entryPath,
                                 std::string displayName)
    : plistPath_(std::move(plistPath)), bundlePath_(std::move(bundlePath)), entryPath_(std::move(entryPath)),
      displayName_(std::move(displayName)) {}

AgentService::Entry AgentService::readEntry(const std::string& expectedExec) const {
    GKeyFile* file = g_key_file_new();
    if (!g_key_file_load_from_file(file, entryPath_.c_str(), G_KEY_FILE_NONE, nullptr)) {
        g_key_file_free(file);
        // An entry that exists but cannot be read is not ours to judge: treat it as the
        // user's own (never overwritten).
        return g_file_test(entryPath_.c_str(), G_FILE_TEST_EXISTS) ? Entry::Disabled : Entry::Absent;
    }
    Entry entry = Entry::Other;
    GError* error = nullptr;
    const bool hidden = g_key_file_get_boolean(file, kGroup, "Hidden", &error);
    g_clear_error(&error);
    bool enabled = true;
    if (g_key_file_has_key(file, kGroup, "X-GNOME-Autostart-enabled", nullptr)) {
        enabled = g_key_file_get_boolean(file, kGroup, "X-GNOME-Autostart-enabled", &error);
        if (error) enabled = true;
        g_clear_error(&error);
    }
    if (hidden || !enabled) {
        entry = Entry::Disabled;
    } else {
        gchar* exec = g_key_file_get_string(file, kGroup, "Exec", nullptr);
        if (exec && expectedExec == exec) entry = Entry::Ours;
        g_free(exec);
    }
    g_key_file_free(file);
    return entry;
}

AgentStatus AgentService::status() {
    const auto program = readAgentProgram(plistPath_, bundlePath_);
    if (!program) return AgentStatus::NotFound;
    switch (readEntry(execLine(program->arguments))) {
    case Entry::Ours: return AgentStatus::Enabled;
    case Entry::Disabled: return AgentStatus::RequiresApproval;
    case Entry::Absent:
    case Entry::Other: break;
    }
    return AgentStatus::NotRegistered;
}

std::optional<std::string> AgentService::registerService() {
    const auto program = readAgentProgram(plistPath_, bundlePath_);
    if (!program) return "No launch agent with a program at " + plistPath_;
    const std::string exec = execLine(program->arguments);
    const Entry entry = readEntry(exec);
    if (entry == Entry::Ours || entry == Entry::Disabled) return std::nullopt;

    GKeyFile* file = g_key_file_new();
    g_key_file_set_string(file, kGroup, "Type", "Application");
    g_key_file_set_string(file, kGroup, "Name", displayName_.c_str());
    g_key_file_set_string(file, kGroup, "Exec", exec.c_str());
    g_key_file_set_boolean(file, kGroup, "Terminal", FALSE);
    g_key_file_set_boolean(file, kGroup, "NoDisplay", TRUE);
    g_key_file_set_boolean(file, kGroup, "X-GNOME-Autostart-enabled", TRUE);
    gsize length = 0;
    gchar* data = g_key_file_to_data(file, &length, nullptr);
    g_key_file_free(file);

    std::string failure;
    const bool written = posix::writeFileCreatingFolders(entryPath_, std::string_view(data, length), &failure);
    g_free(data);
    if (!written) return failure;
    return std::nullopt;
}

std::optional<std::string> AgentService::unregisterService() {
    if (!readAgentProgram(plistPath_, bundlePath_)) return "No launch agent with a program at " + plistPath_;
    // A user's own switched-off entry stays: removing it would let the next launch register
    // the agent afresh, undoing the user's choice.
    const Entry entry = readEntry(std::string());
    if (entry == Entry::Absent || entry == Entry::Disabled) return std::nullopt;
    if (g_remove(entryPath_.c_str()) != 0 && errno != ENOENT)
        return "Cannot remove " + entryPath_ + ": " + std::strerror(errno);
    return std::nullopt;
}

namespace {

// What an agent the bundle cannot have (a name that would lead out of its agents folder) says.
class UnknownAgentService : public dralmik::AgentService {
public:
    explicit UnknownAgentService(std::string name) : name_(std::move(name)) {}
    AgentStatus status() override { return AgentStatus::NotFound; }
    std::optional<std::string> registerService() override { return failure(); }
    std::optional<std::string> unregisterService() override { return failure(); }

private:
    std::string failure() const { return "\"" + name_ + "\" is not the name of a launch agent in the bundle"; }
    std::string name_;
};

bool isAgentName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

std::string autostartEntryName(const std::string& plistName, const std::string& loginEntryName) {
    const std::string suffix = ".desktop";
    std::string stem = loginEntryName;
    if (stem.size() > suffix.size() && stem.ends_with(suffix)) stem.resize(stem.size() - suffix.size());
    if (plistName == stem + "-login.plist") return loginEntryName;
    return stem + "." + plistName + suffix;
}

AppService::AppService(std::string bundlePath, std::string autostartFolder, std::string entryName,
                             std::string displayName)
    : bundlePath_(std::move(bundlePath)), autostartFolder_(std::move(autostartFolder)),
      entryName_(std::move(entryName)), displayName_(std::move(displayName)) {}

std::shared_ptr<dralmik::AgentService> AppService::agentService(const std::string& plistName) {
    if (!isAgentName(plistName)) return std::make_shared<UnknownAgentService>(plistName);
    return std::make_shared<AgentService>(bundlePath_ + "/Contents/Library/LaunchAgents/" + plistName, bundlePath_,
                                             autostartFolder_ + "/" + autostartEntryName(plistName, entryName_),
                                             displayName_);
}

}  // namespace dralmik::gtk
