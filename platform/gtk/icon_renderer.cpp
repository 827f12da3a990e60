#include "platform/gtk/icon_renderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace dralmik::gtk {
namespace {

void setSource(cairo_t* cr, const Color& c) { cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha); }

cairo_line_cap_t capFor(LineCap cap) {
    switch (cap) {
    case LineCap::Round: return CAIRO_LINE_CAP_ROUND;
    case LineCap::Square: return CAIRO_LINE_CAP_SQUARE;
    case LineCap::Butt: break;
    }
    return CAIRO_LINE_CAP_BUTT;
}

// A rounded rectangle whose corners are quarter ellipses with the given radii, each clamped to
// half the side, as the desktop's own path helpers do.
void roundedRect(cairo_t* cr, const Rect& r, double rx, double ry) {
    rx = std::min(rx, r.size.width / 2);
    ry = std::min(ry, r.size.height / 2);
    const double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    const double corners[4][3] = {{x + w - rx, y + ry, -M_PI / 2},
                                  {x + w - rx, y + h - ry, 0},
                                  {x + rx, y + h - ry, M_PI / 2},
                                  {x + rx, y + ry, M_PI}};
    for (const auto& c : corners) {
        cairo_save(cr);
        cairo_translate(cr, c[0], c[1]);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
        cairo_restore(cr);
    }
    cairo_close_path(cr);
}

void oval(cairo_t* cr, const Rect& r) {
    cairo_save(cr);
    cairo_translate(cr, r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2);
    cairo_scale(cr, r.size.width / 2, r.size.height / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Draws the image's operations in its own colours onto a new surface. Strokes are widened by
// `widen` and fills are outlined by it, which gives the shape of a halo around the drawing.
cairo_surface_t* draw(const Image& image, const RenderOptions& options, int width, int height, double widen) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);

    cairo_scale(cr, options.scale, options.scale);
    if (options.canvas.width > 0 && options.canvas.height > 0)
        cairo_translate(cr, (options.canvas.width - image.size.width) / 2, (options.canvas.height - image.size.height) / 2);
    if (!image.flipped) {
        // The image's y axis grows upward from the bottom edge; cairo's grows downward.
        cairo_translate(cr, 0, image.size.height);
        cairo_scale(cr, 1, -1);
    }

    Color stroke{0, 0, 0, 1};
    Color fill{0, 0, 0, 1};
    for (const DrawOp& op : image.ops) {
        switch (op.kind) {
        case DrawOp::Kind::SetStrokeColor: stroke = op.color; continue;
        case DrawOp::Kind::SetFillColor: fill = op.color; continue;
        case DrawOp::Kind::StrokePath:
            for (const PathElement& e : op.path) {
                if (e.kind == PathElement::Kind::MoveTo)
                    cairo_move_to(cr, e.point.x, e.point.y);
                else
                    cairo_line_to(cr, e.point.x, e.point.y);
            }
            break;
        case DrawOp::Kind::StrokeRoundedRect: roundedRect(cr, op.rect, op.radiusX, op.radiusY); break;
        case DrawOp::Kind::StrokeOval:
        case DrawOp::Kind::FillOval: oval(cr, op.rect); break;
        }
        if (op.kind == DrawOp::Kind::FillOval) {
            setSource(cr, fill);
            if (widen > 0) {
                cairo_fill_preserve(cr);
                cairo_set_line_width(cr, widen);
                cairo_stroke(cr);
            } else {
                cairo_fill(cr);
            }
        } else {
            setSource(cr, stroke);
            cairo_set_line_width(cr, op.lineWidth + widen);
            cairo_set_line_cap(cr, capFor(op.lineCap));
            cairo_stroke(cr);
        }
    }
    cairo_destroy(cr);
    return surface;
}

// The drawing on a new ARGB32 surface of the canvas's pixel size.
cairo_surface_t* renderSurface(const Image& image, const RenderOptions& options) {
    const Size size = options.canvas.width > 0 && options.canvas.height > 0 ? options.canvas : image.size;
    const int width = std::max(1, static_cast<int>(std::ceil(size.width * options.scale - 1e-9)));
    const int height = std::max(1, static_cast<int>(std::ceil(size.height * options.scale - 1e-9)));
    cairo_surface_t* surface = draw(image, options, width, height, 0);
    if (!image.isTemplate) return surface;

    // Keep only the shape: paint the tint through the drawing's alpha, over the halo.
    cairo_surface_t* tinted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* tc = cairo_create(tinted);
    if (options.haloWidth > 0) {
        cairo_surface_t* halo = draw(image, options, width, height, 2 * options.haloWidth);
        setSource(tc, options.templateHalo);
        cairo_mask_surface(tc, halo, 0, 0);
        cairo_surface_destroy(halo);
    }
    setSource(tc, options.templateTint);
    cairo_mask_surface(tc, surface, 0, 0);
    cairo_destroy(tc);
    cairo_surface_destroy(surface);
    return tinted;
}

}  // namespace

std::optional<std::string> renderPng(const Image& image, const RenderOptions& options) {
    cairo_surface_t* surface = renderSurface(image, options);
    std::string png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, appendBytes, &png);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) return std::nullopt;
    return png;
}

Pixels renderPixels(const Image& image, const RenderOptions& options) {
    cairo_surface_t* surface = renderSurface(image, options);
    cairo_surface_flush(surface);
    Pixels pixels;
    pixels.width = cairo_image_surface_get_width(surface);
    pixels.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    pixels.argb.reserve(static_cast<size_t>(pixels.width) * pixels.height * 4);
    for (int y = 0; y < pixels.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < pixels.width; ++x) {
            // cairo keeps premultiplied native-endian words; the tray protocol takes straight
            // alpha, most significant byte first.
            const uint32_t p = row[x];
            const unsigned a = p >> 24;
            auto channel = [a](unsigned c) { return static_cast<char>(a ? std::min(255u, (c * 255 + a / 2) / a) : 0); };
            pixels.argb.push_back(static_cast<char>(a));
            pixels.argb.push_back(channel((p >> 16) & 0xff));
            pixels.argb.push_back(channel((p >> 8) & 0xff));
            pixels.argb.push_back(channel(p & 0xff));
        }
    }
    cairo_surface_destroy(surface);
    return pixels;
}

}  // namespace dralmik::gtk
