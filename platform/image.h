#pragma once
// A small monochrome image described as the drawing operations that make it, in the image's
// own point space (origin at the bottom left unless flipped). Each backend renders the same
// list at whatever scale it needs.
#include <vector>

#include "platform/geometry.h"

namespace dralmik {

enum class LineCap { Butt = 0, Round = 1, Square = 2 };

struct PathElement {
    enum class Kind { MoveTo, LineTo } kind = Kind::MoveTo;
    Point point;
    bool operator==(const PathElement&) const = default;
};

struct DrawOp {
    enum class Kind {
        SetStrokeColor,     // color
        SetFillColor,       // color
        StrokePath,         // path, lineWidth, lineCap
        StrokeRoundedRect,  // rect, radiusX, radiusY, lineWidth, lineCap
        StrokeOval,         // rect (the oval inscribed in it), lineWidth, lineCap
        FillOval,           // rect
    } kind = Kind::StrokePath;
    Color color;
    std::vector<PathElement> path;
    Rect rect;
    double radiusX = 0;
    double radiusY = 0;
    double lineWidth = 1;
    LineCap lineCap = LineCap::Butt;
    bool operator==(const DrawOp&) const = default;
};

struct Image {
    Size size;
    bool flipped = false;
    bool isTemplate = false;  // tinted by the system: only the alpha channel counts
    std::vector<DrawOp> ops;
};

}  // namespace dralmik
