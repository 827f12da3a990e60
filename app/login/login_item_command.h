#pragma once
// `<executable> --login-item <command> <plist>`: register, unregister or report a login agent
// without starting the user interface.
#include <optional>
#include <string>

#include "platform/app_service.h"

namespace dralmik {

struct LoginItemOutcome {
    std::string standardOutput;
    std::optional<std::string> failure;  // the message for fail(); exit status 1
    int exitStatus = 0;                  // when there is no failure
};

// What the command does and answers, without ending the process.
LoginItemOutcome runLoginItemCommand(AppService& services, const std::string& command, const std::string& plist);

// Runs the command and ends the process with its outcome.
[[noreturn]] void loginItemCommand(AppService& services, const std::string& command, const std::string& plist);

// The name printed by "status".
const char* loginItemStatusName(AgentStatus status);

}  // namespace dralmik
