#pragma once
// Alerts as GtkMessageDialogs, modal for their window, answered asynchronously.
#include "platform/alert.h"

namespace dralmik::gtk {

class Alerts final : public dralmik::Alerts {
public:
    void beginSheet(dralmik::Window& window, const AlertSpec& alert,
                    std::function<void(std::optional<std::size_t>)> completion) override;
};

}  // namespace dralmik::gtk
