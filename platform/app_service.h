#pragma once
// Login items managed by the system (one agent property list shipped in the bundle). The core
// relies on: status() as one of the four states; register/unregister give no value on
// success, the failure's description otherwise.
#include <memory>
#include <optional>
#include <string>

namespace dralmik {

enum class AgentStatus { NotRegistered, Enabled, RequiresApproval, NotFound };

class AgentService {
public:
    virtual ~AgentService() = default;
    virtual AgentStatus status() = 0;
    virtual std::optional<std::string> registerService() = 0;
    virtual std::optional<std::string> unregisterService() = 0;
};

class AppService {
public:
    virtual ~AppService() = default;
    // Never fails by itself.
    virtual std::shared_ptr<AgentService> agentService(const std::string& plistName) = 0;
};

}  // namespace dralmik
