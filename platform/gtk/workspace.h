#pragma once
// The desktop's default handlers for addresses (the browser, the mail program).
#include "platform/workspace.h"

namespace dralmik::gtk {

class Workspace final : public dralmik::Workspace {
public:
    bool openURL(const Url& url) override;
};

}  // namespace dralmik::gtk
