#pragma once
// The running system's version test. The core relies on: true when the system is at least the
// given version, a macOS version number: 12.0 brings the under-page colour of the web view,
// 13.0 service-managed login items.
namespace dralmik {

struct SystemVersion {
    int major = 0;
    int minor = 0;
};

class System {
public:
    virtual ~System() = default;
    virtual bool isAtLeast(SystemVersion version) const = 0;
};

}  // namespace dralmik
