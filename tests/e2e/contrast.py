# contrast.py PNG BACKGROUND: lays the picture over a background colour (#rrggbb) and prints the
# highest contrast ratio (WCAG relative luminance) of any of its pixels against the background,
# then how many pixels reach 3:1.
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf


def luminance(rgb):
    def channel(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def ratio(a, b):
    return (max(a, b) + 0.05) / (min(a, b) + 0.05)


def main():
    picture = GdkPixbuf.Pixbuf.new_from_file(sys.argv[1])
    background = [int(sys.argv[2][i:i + 2], 16) for i in (1, 3, 5)]
    back = luminance(background)
    data, stride, n = picture.get_pixels(), picture.get_rowstride(), picture.get_n_channels()
    best, legible = 1.0, 0
    for y in range(picture.get_height()):
        for x in range(picture.get_width()):
            p = data[y * stride + x * n:y * stride + x * n + n]
            alpha = p[3] / 255 if n == 4 else 1
            over = [p[i] * alpha + background[i] * (1 - alpha) for i in range(3)]
            r = ratio(luminance(over), back)
            best = max(best, r)
            legible += r >= 3
    print("%.1f %d" % (best, legible))


if __name__ == "__main__":
    main()
