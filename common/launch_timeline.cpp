#include "common/launch_timeline.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace dralmik {

void launchStep(const char* step) {
    static const bool enabled = std::getenv("DRALMIK_LAUNCH_TIMELINE") != nullptr;
    if (!enabled) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<long long>(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    std::fprintf(stderr, "launch-step %lld %lld %s\n", static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000,
                 ms(usage.ru_utime) + ms(usage.ru_stime), step);
}

}  // namespace dralmik
