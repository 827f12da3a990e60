#pragma once
// Login items as XDG autostart entries. The agent property list shipped in the bundle
// (Contents/Library/LaunchAgents/<name>) says what to start; registering writes a desktop entry
// for it into the user's autostart folder, which every XDG session starts at login.
//
// Status:
//   NotFound          the bundle has no readable agent property list with a program;
//   NotRegistered     no entry, or an entry that starts some other command (the bundle was
//                     moved: registering again rewrites it);
//   RequiresApproval  an entry the user switched off (Hidden=true or
//                     X-GNOME-Autostart-enabled=false); it is never overwritten or removed;
//   Enabled           an entry that starts the agent's command.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/app_service.h"

namespace dralmik::gtk {

struct AgentProgram {
    std::vector<std::string> arguments;  // the program first, as an absolute path
};

// Reads an agent property list (XML or binary). BundleProgram and a relative first element
// of ProgramArguments are resolved against the bundle folder. No value when the file is
// missing, unreadable or names no program.
std::optional<AgentProgram> readAgentProgram(const std::string& plistPath, const std::string& bundlePath);

// One Exec argument quoted the way desktop entries require (reserved characters inside
// double quotes, with ", `, $ and \ escaped), with % doubled.
std::string quoteExecArgument(const std::string& argument);
// The Exec value for these arguments (before the key file's own string escaping, which
// GKeyFile applies when it writes the value).
std::string execLine(const std::vector<std::string>& arguments);

// The file name of the autostart entry for the agent plistName, given the login agent's entry
// name "<id>.desktop": the login agent "<id>-login.plist" has that entry, and any other agent N
// has "<id>.N.desktop". One agent, one entry; and every entry carries the application's
// identifier, so no agent's entry can take the name of another application's.
std::string autostartEntryName(const std::string& plistName, const std::string& loginEntryName);

class AgentService final : public dralmik::AgentService {
public:
    AgentService(std::string plistPath, std::string bundlePath, std::string entryPath, std::string displayName);

    AgentStatus status() override;
    std::optional<std::string> registerService() override;
    std::optional<std::string> unregisterService() override;

private:
    enum class Entry { Absent, Disabled, Ours, Other };
    Entry readEntry(const std::string& expectedExec) const;

    std::string plistPath_;
    std::string bundlePath_;
    std::string entryPath_;
    std::string displayName_;
};

class AppService final : public dralmik::AppService {
public:
    // autostartFolder is usually $XDG_CONFIG_HOME/autostart; entryName the file name of the
    // login agent's desktop entry there, "<id>.desktop" (see autostartEntryName for the others).
    AppService(std::string bundlePath, std::string autostartFolder, std::string entryName, std::string displayName);
    // A name that is empty, "." or "..", or holds a '/', names no agent of the bundle: status
    // notFound, and registering or unregistering fails with a message that says so.
    std::shared_ptr<dralmik::AgentService> agentService(const std::string& plistName) override;

private:
    std::string bundlePath_;
    std::string autostartFolder_;
    std::string entryName_;
    std::string displayName_;
};

}  // namespace dralmik::gtk
