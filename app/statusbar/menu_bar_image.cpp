#include "app/statusbar/menu_bar_image.h"

#include <vector>

namespace dralmik {

namespace {

constexpr double kIconLineWidth = 1.3;
constexpr Color kBlack{0, 0, 0, 1};

DrawOp strokedPath(std::vector<PathElement> path) {
    DrawOp op;
    op.kind = DrawOp::Kind::StrokePath;
    op.path = std::move(path);
    op.lineWidth = kIconLineWidth;
    op.lineCap = LineCap::Round;
    return op;
}

PathElement moveTo(double x, double y) { return {PathElement::Kind::MoveTo, {x, y}}; }
PathElement lineTo(double x, double y) { return {PathElement::Kind::LineTo, {x, y}}; }

}  // namespace

Image menuBarImage() {
    Image image;
    image.size = {22, 17};
    image.flipped = false;
    image.isTemplate = true;

    DrawOp strokeColor;
    strokeColor.kind = DrawOp::Kind::SetStrokeColor;
    strokeColor.color = kBlack;
    image.ops.push_back(strokeColor);

    image.ops.push_back(strokedPath({moveTo(1.6, 1.4), lineTo(1.6, 15.4)}));

    DrawOp frame = strokedPath({});
    frame.kind = DrawOp::Kind::StrokeRoundedRect;
    frame.rect = {{3.2, 4.2}, {17.6, 10.2}};
    frame.radiusX = 1.8;
    frame.radiusY = 1.8;
    image.ops.push_back(frame);

    image.ops.push_back(strokedPath({moveTo(6.2, 2.2), lineTo(13.2, 2.2)}));
    image.ops.push_back(strokedPath({moveTo(6.0, 7.9), lineTo(9.2, 7.9), moveTo(6.0, 10.7), lineTo(9.2, 10.7)}));

    DrawOp ring = strokedPath({});
    ring.kind = DrawOp::Kind::StrokeOval;
    ring.rect = {{11.7, 5.7}, {7.2, 7.2}};
    image.ops.push_back(ring);

    DrawOp fillColor;
    fillColor.kind = DrawOp::Kind::SetFillColor;
    fillColor.color = kBlack;
    image.ops.push_back(fillColor);

    DrawOp dot;
    dot.kind = DrawOp::Kind::FillOval;
    dot.rect = {{14.1, 8.1}, {2.4, 2.4}};
    image.ops.push_back(dot);
    return image;
}

}  // namespace dralmik
