#pragma once
// The process entry of the menu-bar application, over any platform. It takes one of three
// paths: the login-item command (which ends the process itself), the hand-off to a running
// copy (returns 0 at once), or the application (returns 0 when the event loop ends, 1 when
// there is no user interface to run it in).
#include "platform/platform.h"

namespace dralmik {

int applicationMain(Platform& platform);

}  // namespace dralmik
