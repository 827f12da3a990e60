#pragma once
// Window frames kept across launches, in a key file (one group per autosave name). The core
// speaks in frames with the origin at the bottom left of the screen; X11 and GTK place windows
// by their top-left corner from the top of the screen. Frames are stored by their top-left
// corner, so a restored window keeps that corner even when the screen's height has changed.
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace dralmik::gtk {

// A window position as the toolkit takes it: whole pixels, top-left origin.
struct PixelFrame {
    int x = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelFrame&) const = default;
};

// Sizes round up (a minimum of 437.5 points must not shrink to 437) and positions to the
// nearest pixel.
PixelFrame toPixelFrame(const Rect& frame, double screenHeight);
Rect toCoreFrame(const PixelFrame& frame, double screenHeight);

// How much of a window must stay on a monitor for the user to reach it: the title bar's
// height, and a stretch of its width to grab.
inline constexpr int kTitleBarHeight = 40;
inline constexpr int kTitleBarGrip = 120;

// The frame moved, if it must be, so that its title bar lies on a monitor with room to grab
// it: on the monitor that shows most of the title bar, or else the nearest one. A frame that
// is mostly off every monitor is moved wholly onto the nearest one (as far as it fits).
PixelFrame keepTitleBarReachable(PixelFrame frame, const std::vector<PixelFrame>& monitors);

// Whether any part of the frame lies on one of the monitors. A frame on none (saved on a
// monitor since unplugged, or in a store edited by hand) has no monitor it belongs near, and
// opens where a new window does.
bool onAnyMonitor(const PixelFrame& frame, const std::vector<PixelFrame>& monitors);

// Where a new window of the frame's size opens in a monitor's work area: centred across it,
// and a little above the middle, as first windows usually appear: a third of the free height
// above the window, two thirds below it. A window wider or taller than the work area keeps its
// top-left corner in it.
PixelFrame placeInWorkArea(PixelFrame frame, const PixelFrame& workArea);

// Where a menu of the frame's size opens from a point (a click on a tray icon): right of and
// below it, or ending at it where the work area has no room that way (a panel at the bottom or
// the right edge), and within the work area even when the point lies on a panel outside it.
PixelFrame placeMenuAt(int x, int y, PixelFrame menu, const PixelFrame& workArea);

class FrameStore {
public:
    explicit FrameStore(std::string path);
    // The saved frame, as a pixel frame; none when nothing valid was saved under the name.
    std::optional<PixelFrame> load(const std::string& name) const;
    // Without the position (where the compositor places windows and never says where), only the
    // size is written; a position saved before is kept.
    bool save(const std::string& name, const PixelFrame& frame, bool withPosition = true) const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace dralmik::gtk
