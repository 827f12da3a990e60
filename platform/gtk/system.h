#pragma once
// The system level this backend provides: service-managed login items and the under-page
// colour (the macOS 13.0 level), nothing newer.
#include "platform/system.h"

namespace dralmik::gtk {

class System final : public dralmik::System {
public:
    bool isAtLeast(SystemVersion v) const override { return v.major < 13 || (v.major == 13 && v.minor <= 0); }
};

}  // namespace dralmik::gtk
