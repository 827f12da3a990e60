#pragma once
// The main bundle. The core relies on: resourcePath() always answers (an application bundle
// always has one); bundleIdentifier() has no value outside a bundle; executablePath() may have
// no value when the system cannot tell.
#include <optional>
#include <string>

namespace dralmik {

class Bundle {
public:
    virtual ~Bundle() = default;
    virtual std::string bundlePath() const = 0;
    virtual std::string resourcePath() const = 0;
    virtual std::optional<std::string> bundleIdentifier() const = 0;
    virtual std::optional<std::string> executablePath() const = 0;
};

}  // namespace dralmik
