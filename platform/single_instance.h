#pragma once
// One copy of the application per user session, found by the bundle identifier. The core
// relies on: claimPrimary() answers false when another copy already holds the identifier (and
// only then); reopenPrimary() asks that copy to show its window and come to the front, and
// reports nothing back.
#include <string>

namespace dralmik {

class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // Makes this process the copy that holds the identifier, unless another one does.
    virtual bool claimPrimary(const std::string& bundleIdentifier) = 0;
    virtual void reopenPrimary() = 0;
};

}  // namespace dralmik
