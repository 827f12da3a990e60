#pragma once
// The running system's version test. The core relies on: true when the system is at least
// the given version (as a macOS version number: 12.0 brings the under-page colour, 13.0
// service-managed login items).
namespace dralmik {

class System {
public:
    virtual ~System() = default;
    virtual bool isAtLeast(int major, int minor) const = 0;
};

}  // namespace dralmik
