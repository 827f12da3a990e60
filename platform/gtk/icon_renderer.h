#pragma once
// Renders an Image (a list of drawing operations in points) into PNG bytes with cairo. Used
// for the tray icon, which the tray protocol takes as a file; kept free of GTK so that it runs
// without a display.
#include <optional>
#include <string>

#include "platform/image.h"

namespace dralmik::gtk {

struct RenderOptions {
    double scale = 1;  // device pixels per point
    // Template images only carry shape: their pixels are painted in this colour, keeping the
    // drawing's alpha. Other images keep their own colours.
    Color templateTint{1, 1, 1, 1};
};

// The PNG file contents, or none when cairo could not encode the surface. The pixel size is
// the image's point size times the scale, rounded up.
std::optional<std::string> renderPng(const Image& image, const RenderOptions& options);

}  // namespace dralmik::gtk
