# Measurements on screenshots, for run.sh.
#   shot.py diff BEFORE AFTER [X0 Y0 X1 Y1]
#       how many pixels changed (inside the box, when given) and the box around them:
#       "COUNT X0 Y0 X1 Y1" (X1 and Y1 exclusive), "0 0 0 0 0" when nothing changed
#   shot.py item BEFORE AFTER first|last X0 Y0 X1 Y1
#       the same for the first or last group of changed columns in the box: a panel that makes
#       room for a new item moves its neighbours, and the item is the group at the end it grows
#       from; with "first:GAP" or "last:GAP", columns more than GAP apart (3 when not given) are
#       separate groups, for a panel that draws something of its own right beside a new item
#   shot.py contrast BEFORE AFTER X0 Y0 X1 Y1 [after]
#       inside the box where the icon appeared: the panel's colour (the commonest colour there
#       before the icon came; with "after", once it came, for a tray that draws its own block
#       behind its first item) and the WCAG contrast of the icon's pixels against it:
#       "best=R icon=#rrggbb panel=#rrggbb strong=N of=M" (N pixels reach 4.5:1 of the M that
#       differ from the panel)
#   shot.py edge BEFORE AFTER X0 Y0 X1 Y1
#       how crisp the icon's edge is: of the pixels that differ from the panel (as for contrast),
#       how many are "strong" (near one of the icon's three commonest colours or the panel's) and
#       how many lie between colours, as antialiasing or an image scaled up leaves them, and the
#       same share for the box shrunk to half and scaled up again (what a host that scales up an
#       image of half the size shows): "strong=N between=M share=S scaled_up_share=U" (per cent)
#   shot.py colour SHOT X Y
#       the colour of one pixel, #rrggbb
import collections
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf

# The WCAG luminance and ratio of the end-to-end tests' contrast check.
sys.path.insert(0, __file__.rsplit("/", 2)[0] + "/e2e")
from contrast import luminance, ratio as contrast_ratio  # noqa: E402

THRESHOLD = 24  # a channel that moved by less is noise (dithering, a clock's antialiasing)


class Picture:
    def __init__(self, path):
        p = path if isinstance(path, GdkPixbuf.Pixbuf) else GdkPixbuf.Pixbuf.new_from_file(path)
        self.pixbuf = p
        self.w, self.h = p.get_width(), p.get_height()
        self.stride, self.n = p.get_rowstride(), p.get_n_channels()
        self.data = p.get_pixels()

    def row(self, y, x0, x1):
        return self.data[y * self.stride + x0 * self.n:y * self.stride + x1 * self.n]

    def at(self, x, y):
        i = y * self.stride + x * self.n
        return tuple(self.data[i:i + 3])


def box(args, picture):
    if len(args) >= 4:
        x0, y0, x1, y1 = (int(a) for a in args[:4])
    else:
        x0, y0, x1, y1 = 0, 0, picture.w, picture.h
    return max(0, x0), max(0, y0), min(picture.w, x1), min(picture.h, y1)


def differs(a, b):
    return max(abs(a[0] - b[0]), abs(a[1] - b[1]), abs(a[2] - b[2])) >= THRESHOLD


def diff(before, after, args):
    x0, y0, x1, y1 = box(args, after)
    count, bx0, by0, bx1, by1 = 0, x1, y1, -1, -1
    for y in range(y0, y1):
        if before.row(y, x0, x1) == after.row(y, x0, x1):
            continue
        for x in range(x0, x1):
            if differs(before.at(x, y), after.at(x, y)):
                count += 1
                bx0, by0, bx1, by1 = min(bx0, x), min(by0, y), max(bx1, x + 1), max(by1, y + 1)
    print("%d %d %d %d %d" % ((count, bx0, by0, bx1, by1) if count else (0, 0, 0, 0, 0)))


def item(before, after, which, args):
    x0, y0, x1, y1 = box(args, after)
    columns = [x for x in range(x0, x1) if any(differs(before.at(x, y), after.at(x, y)) for y in range(y0, y1))]
    which, _, gap = which.partition(":")
    gap = int(gap or 3)
    groups = []
    for x in columns:
        if groups and x - groups[-1][-1] <= gap:
            groups[-1].append(x)
        else:
            groups.append([x])
    if not groups:
        print("0 0 0 0 0")
        return
    group = groups[0] if which == "first" else groups[-1]
    diff(before, after, [group[0], y0, group[-1] + 1, y1])


def ratio(a, b):
    return contrast_ratio(luminance(a), luminance(b))


def contrast(before, after, args):
    x0, y0, x1, y1 = box(args, after)
    behind = after if args[4:5] == ["after"] else before
    around = collections.Counter(behind.at(x, y) for y in range(max(0, y0 - 3), min(after.h, y1 + 3))
                                 for x in range(max(0, x0 - 3), min(after.w, x1 + 3)))
    panel = around.most_common(1)[0][0]
    best, colour, strong, total = 1.0, panel, 0, 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            p = after.at(x, y)
            if not differs(p, panel):
                continue
            total += 1
            r = ratio(p, panel)
            strong += r >= 4.5
            if r > best:
                best, colour = r, p
    print("best=%.1f icon=#%02x%02x%02x panel=#%02x%02x%02x strong=%d of=%d" % ((best,) + colour + panel + (strong, total)))


def edge_counts(pixels, panel, own):
    strong = between = 0
    for p in pixels:
        if not differs(p, panel):
            continue
        if any(not differs(p, c) for c in own):
            strong += 1
        else:
            between += 1
    return strong, between


def edge(before, after, args):
    x0, y0, x1, y1 = box(args, after)
    around = collections.Counter(before.at(x, y) for y in range(max(0, y0 - 3), min(after.h, y1 + 3))
                                 for x in range(max(0, x0 - 3), min(after.w, x1 + 3)))
    panel = around.most_common(1)[0][0]
    pixels = [after.at(x, y) for y in range(y0, y1) for x in range(x0, x1)]
    # The icon's own colours: the three commonest exact colours of its pixels, and the panel's.
    counted = collections.Counter(p for p in pixels if differs(p, panel)).most_common(3)
    own = [panel] + [c for c, n in counted if n >= 4]
    strong, between = edge_counts(pixels, panel, own)
    # The same box as a host shows an image of half the size scaled up: shrunk to half and
    # brought back with bilinear filtering.
    w, h = x1 - x0, y1 - y0
    crop = after.pixbuf.new_subpixbuf(x0, y0, w, h)
    half = crop.scale_simple(max(1, w // 2), max(1, h // 2), GdkPixbuf.InterpType.BILINEAR)
    up = Picture(half.scale_simple(w, h, GdkPixbuf.InterpType.BILINEAR))
    up_strong, up_between = edge_counts([up.at(x, y) for y in range(h) for x in range(w)], panel, own)
    print("strong=%d between=%d share=%d scaled_up_share=%d" % (
        strong, between, 100 * between // max(1, strong + between), 100 * up_between // max(1, up_strong + up_between)))


def main():
    what = sys.argv[1]
    if what == "diff":
        diff(Picture(sys.argv[2]), Picture(sys.argv[3]), sys.argv[4:])
    elif what == "item":
        item(Picture(sys.argv[2]), Picture(sys.argv[3]), sys.argv[4], sys.argv[5:])
    elif what == "contrast":
        contrast(Picture(sys.argv[2]), Picture(sys.argv[3]), sys.argv[4:])
    elif what == "edge":
        edge(Picture(sys.argv[2]), Picture(sys.argv[3]), sys.argv[4:])
    elif what == "colour":
        print("#%02x%02x%02x" % Picture(sys.argv[2]).at(int(sys.argv[3]), int(sys.argv[4])))


main()
