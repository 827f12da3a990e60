#pragma once
// The desktop's default handlers for addresses (the browser, the mail program).
#include <string>
#include <vector>

#include "platform/workspace.h"

namespace dralmik::gtk {

class Workspace final : public dralmik::Workspace {
public:
    bool openURL(const Url& url) override;

    // Variables this process set for itself alone: the programs it opens do not get them.
    void setOwnVariables(std::vector<std::string> names) { ownVariables_ = std::move(names); }

private:
    std::vector<std::string> ownVariables_;
};

}  // namespace dralmik::gtk
