#pragma once
// One copy per session: the first copy owns the bundle identifier as a name on the session bus.
// The claim is one name request, answered by the bus itself before the toolkit is up, whatever
// state a running copy is in; the primary's GApplication then serves the hand-off
// (org.gtk.Application.Activate) at its object path, and a second copy sends that call without
// waiting for an answer. Without a session bus every copy is a primary.
#include <gio/gio.h>

#include "platform/single_instance.h"

namespace dralmik::gtk {

class Application;

class SingleInstance final : public dralmik::SingleInstance {
public:
    explicit SingleInstance(Application& application) : application_(application) {}
    ~SingleInstance() override;
    bool claimPrimary(const std::string& bundleIdentifier) override;
    void reopenPrimary() override;

private:
    Application& application_;
    // The session bus, and the identifier that another copy owns, once a claim found one.
    GDBusConnection* bus_ = nullptr;
    std::string owned_;
};

}  // namespace dralmik::gtk
