#pragma once
// The desktop's default handlers. The core relies on: openURL() hands the address to the
// user's browser or mail program and answers whether that worked.
#include "common/url.h"

namespace dralmik {

class Workspace {
public:
    virtual ~Workspace() = default;
    virtual bool openURL(const Url& url) = 0;
};

}  // namespace dralmik
