#pragma once
// One copy per session through GApplication's uniqueness: registering the application id on
// the session bus makes this process the primary, unless another process owns the id already;
// then this one is a remote of it, and activating the remote reopens the primary. Without a
// session bus every copy is a primary.
#include "platform/single_instance.h"

namespace dralmik::gtk {

class Application;

class SingleInstance final : public dralmik::SingleInstance {
public:
    explicit SingleInstance(Application& application) : application_(application) {}
    bool claimPrimary(const std::string& bundleIdentifier) override;
    void reopenPrimary() override;

private:
    Application& application_;
};

}  // namespace dralmik::gtk
