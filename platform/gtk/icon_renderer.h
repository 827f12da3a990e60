#pragma once
// Renders an Image (a list of drawing operations in points) into PNG bytes or raw pixels with
// cairo, for the tray icon, which hosts take as a file or as pixels; kept free of GTK so that it runs
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
    // Template images only: an outline of this width (points) in templateHalo around the
    // shape, so that the tint reads on bars lighter than itself. None when the width is 0.
    double haloWidth = 0;
    Color templateHalo{0, 0, 0, 1};
    // The picture's size in points, with the image centred on it; the image's own size when
    // empty (tray icons are square, drawings need not be).
    Size canvas{0, 0};
};

// The PNG file contents, or none when cairo could not encode the surface. The pixel size is
// the canvas's (or the image's) point size times the scale, rounded up.
std::optional<std::string> renderPng(const Image& image, const RenderOptions& options);

// The same picture as straight-alpha ARGB pixels, each most significant byte first, row by row:
// what the tray protocol's pixmaps carry.
struct Pixels {
    int width = 0;
    int height = 0;
    std::string argb;
};
Pixels renderPixels(const Image& image, const RenderOptions& options);

}  // namespace dralmik::gtk
