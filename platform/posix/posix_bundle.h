#pragma once
// The bundle of an executable: <B>/Contents/MacOS/<name> belongs to bundle B, whose resources
// are in B/Contents/Resources and whose identifier is CFBundleIdentifier in B/Contents/Info.plist
// (XML or binary property list). Any other executable stands alone: its folder serves as bundle
// and resources, and it has no identifier.
#include <optional>
#include <string>

#include "platform/bundle.h"

namespace dralmik::posix {

class PosixBundle : public Bundle {
public:
    // The identifier is read once, here; none when the property list is missing, unreadable,
    // or has no string under CFBundleIdentifier, or that string is not a reverse-DNS name
    // (letters, digits and '-' in parts separated by '.', no part empty).
    explicit PosixBundle(std::optional<std::string> executablePath);

    // The bundle of the running program, found through /proc/self/exe.
    static PosixBundle forRunningProgram();

    std::string bundlePath() const override { return bundlePath_; }
    std::string resourcePath() const override { return resourcePath_; }
    std::optional<std::string> bundleIdentifier() const override { return identifier_; }
    std::optional<std::string> executablePath() const override { return executablePath_; }

private:
    std::optional<std::string> executablePath_;
    std::string bundlePath_;
    std::string resourcePath_;
    std::optional<std::string> identifier_;
};

// CFBundleIdentifier of the property list in the file at path, when it has one as a string
// that is a reverse-DNS name.
std::optional<std::string> readBundleIdentifier(const std::string& infoPlistPath);

}  // namespace dralmik::posix
