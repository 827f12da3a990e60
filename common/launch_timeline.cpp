#include "common/launch_timeline.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace dralmik {

void launchStep(const char* step) {
    static const bool enabled = std::getenv("DRALMIK_LAUNCH_TIMELINE") != nullptr;
    if (!enabled) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(stderr, "launch-step %lld %s\n", static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000,
                 step);
}

}  // namespace dralmik
