#include "platform/posix/posix_bundle.h"

#include "platform/posix/bundle_paths.h"
#include "platform/posix/property_list.h"

namespace dralmik::posix {
namespace {

// The identifier names folders and files (the application's own folders, its autostart
// entry), so only a reverse-DNS name counts: parts separated by '.', none empty, each of ASCII
// letters, digits and '-'. Anything else ("../../escaped", "a/b") could lead out of them.
bool isReverseDnsName(const std::string& name) {
    if (name.empty() || name.front() == '.' || name.back() == '.') return false;
    char previous = '\0';
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '.';
        if (!allowed || (c == '.' && previous == '.')) return false;
        previous = c;
    }
    return true;
}

}  // namespace

std::optional<std::string> readBundleIdentifier(const std::string& infoPlistPath) {
    const auto list = readPropertyList(infoPlistPath);
    if (!list) return std::nullopt;
    auto identifier = list->string("CFBundleIdentifier");
    if (!identifier || !isReverseDnsName(*identifier)) return std::nullopt;
    return identifier;
}

PosixBundle::PosixBundle(std::optional<std::string> executablePath) : executablePath_(std::move(executablePath)) {
    BundleLayout layout = bundleLayoutFor(executablePath_.value_or(""));
    bundlePath_ = layout.bundlePath;
    resourcePath_ = layout.resourcePath;
    if (layout.infoPlistPath) identifier_ = readBundleIdentifier(*layout.infoPlistPath);
}

PosixBundle PosixBundle::forRunningProgram() { return PosixBundle(currentExecutablePath()); }

}  // namespace dralmik::posix
