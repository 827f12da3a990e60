#pragma once
// The page-state probe: a script run in the gateway page, and how its answer reads.
#include <optional>
#include <string>

namespace dralmik {

extern const char* const kPageStateProbe;
extern const char* const kPageRefreshHook;

struct ProbeAnswer {
    std::string title;  // the state line; the application's name when the page has no state
    bool disconnect = false;
    bool stop = false;
};

// None when the answer is not a JSON object: the menu then stays as it was.
std::optional<ProbeAnswer> readProbeAnswer(const std::string& json);

}  // namespace dralmik
