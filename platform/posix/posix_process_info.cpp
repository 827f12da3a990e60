#include "platform/posix/posix_process_info.h"

#include <time.h>

#include "platform/posix/bundle_paths.h"

extern char** environ;

namespace dralmik::posix {

PosixProcessInfo::PosixProcessInfo(int argc, const char* const* argv) {
    for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) arguments_.emplace_back(argv[i]);
}

std::map<std::string, std::string> PosixProcessInfo::environment() const {
    std::map<std::string, std::string> result;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string_view text(*entry);
        auto equals = text.find('=');
        if (equals == std::string_view::npos || equals == 0) continue;
        result.emplace(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
    }
    for (const auto& name : ownVariables_) result.erase(name);
    return result;
}

std::string PosixProcessInfo::homeDirectory() const { return userHomeDirectory(); }

double PosixProcessInfo::systemUptime() const {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
}  // namespace dralmik::posix
