#include "app/login/login_item_command.h"

#include <unistd.h>

#include <cstdlib>

#include "common/fail.h"
#include "common/write_all.h"

namespace dralmik {

const char* loginItemStatusName(AgentStatus status) {
    switch (status) {
    case AgentStatus::NotRegistered: return "notRegistered";
    case AgentStatus::Enabled: return "enabled";
    case AgentStatus::RequiresApproval: return "requiresApproval";
    case AgentStatus::NotFound: break;
    }
    return "notFound";
}

LoginItemOutcome runLoginItemCommand(AppService& services, const std::string& command, const std::string& plist) {
    std::shared_ptr<AgentService> service = services.agentService(plist);
    LoginItemOutcome outcome;
    if (command == "register") {
        if (auto error = service->registerService()) outcome.failure = "register " + plist + ": " + *error;
    } else if (command == "unregister") {
        if (auto error = service->unregisterService()) outcome.failure = "unregister " + plist + ": " + *error;
    } else if (command == "status") {
        const AgentStatus status = service->status();
        outcome.standardOutput = std::string(loginItemStatusName(status)) + "\n";
        outcome.exitStatus = status == AgentStatus::Enabled ? 0 : 1;
    } else {
        outcome.failure = "unknown command " + command;
    }
    return outcome;
}

void loginItemCommand(AppService& services, const std::string& command, const std::string& plist) {
    LoginItemOutcome outcome = runLoginItemCommand(services, command, plist);
    if (outcome.failure) fail(*outcome.failure);
    writeAll(STDOUT_FILENO, outcome.standardOutput);
    std::exit(outcome.exitStatus);
}

}  // namespace dralmik
