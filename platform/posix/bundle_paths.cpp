#include "platform/posix/bundle_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace dralmik::posix {

std::optional<std::string> currentExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return std::nullopt;
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string parentFolder(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

BundleLayout bundleLayoutFor(const std::string& executablePath) {
    const std::string folder = parentFolder(executablePath);
    static const std::string kMacOS = "/Contents/MacOS";
    if (folder.size() > kMacOS.size() && folder.ends_with(kMacOS)) {
        std::string bundle = folder.substr(0, folder.size() - kMacOS.size());
        return {bundle, bundle + "/Contents/Resources", bundle + "/Contents/Info.plist"};
    }
    return {folder, folder, std::nullopt};
}

std::string userHomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

std::string gatewayHomeDirectory(const char* dralmikHomeValue, const std::string& userHome) {
    if (dralmikHomeValue != nullptr) return dralmikHomeValue;
    return userHome + kDefaultGatewayHomeSuffix;
}

}  // namespace dralmik::posix
