#pragma once
// Where the running program and its files are, by POSIX means alone (dralmik-helper uses this
// without any other part of the platform layer).
#include <optional>
#include <string>

#include "common/gateway_home.h"

namespace dralmik::posix {

// The absolute path of the running executable, or none when the system cannot tell.
std::optional<std::string> currentExecutablePath();

struct BundleLayout {
    std::string bundlePath;    // B for an executable in <B>/Contents/MacOS/, else its folder
    std::string resourcePath;  // B/Contents/Resources, else the executable's folder
    std::optional<std::string> infoPlistPath;  // B/Contents/Info.plist; none outside a bundle
};

// The bundle an executable belongs to: an executable directly in <B>/Contents/MacOS/ has
// bundle B; any other executable stands alone in its own folder.
BundleLayout bundleLayoutFor(const std::string& executablePath);

// The user's home directory: $HOME when set and not empty, else the password database's entry,
// else "/".
std::string userHomeDirectory();

// The folder a path names its file in: "." for a bare name, "/" for a file at the root.
std::string parentFolder(const std::string& path);

// The gateway's home directory: the value of DRALMIK_HOME when the variable is defined (even
// when empty), else the user's home directory followed by the default folder.
std::string gatewayHomeDirectory(const char* dralmikHomeValue, const std::string& userHome);

}  // namespace dralmik::posix
