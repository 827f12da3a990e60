#pragma once
// The process entry of the menu-bar application, over any platform. Returns the exit status
// when the event loop ends; the command-line and hand-off paths end the process themselves.
#include "platform/platform.h"

namespace dralmik {

int applicationMain(Platform& platform);

}  // namespace dralmik
