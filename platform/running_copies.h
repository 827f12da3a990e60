#pragma once
// Other running copies of this application and the hand-off to one of them. The core relies
// on: runningApplications() lists every running copy with the identifier, this process
// included, in the system's order; sendReopenEvent() and activate() report nothing back.
#include <cstdint>
#include <string>
#include <vector>

namespace dralmik {

struct RunningApplication {
    int processIdentifier = 0;
    bool terminated = false;
};

struct ReopenEvent {
    std::uint32_t eventClass = 0;  // 'aevt'
    std::uint32_t eventId = 0;     // 'rapp'
    int returnId = 0;
    int transactionId = 0;
    int sendOptions = 0;
    double timeoutSeconds = 0;
};

class RunningCopies {
public:
    virtual ~RunningCopies() = default;
    virtual std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) = 0;
    virtual void sendReopenEvent(int processIdentifier, const ReopenEvent& event) = 0;
    virtual void activate(int processIdentifier, unsigned options) = 0;
};

}  // namespace dralmik
