#pragma once
// The status item's icon: a small drawing of the gateway (a stand, a box with two slots and a
// ring with a dot), in a 22 x 17 point space, as a template image that the system tints.
#include "platform/image.h"

namespace dralmik {

Image menuBarImage();

}  // namespace dralmik
