#!/usr/bin/python3
"""Draws the Vantelle icon strip (plot, surface mesh, grid, cage, labels) into res/Surfo.tif.

The strip is five 64 x 64 icons side by side, RGBA with straight alpha, as the host reads
it. Shapes are drawn with Pillow at SUPER times the final size with hard edges and then
box-filtered down, which gives anti-aliased edges; the output depends on nothing but this
file and Pillow, so every run writes the same bytes.

Usage: draw_icons.py [--out PATH] [--preview PATH]
"""

import argparse
import math
import os

from PIL import Image, ImageDraw

ICON = 64
COUNT = 5
SUPER = 4
HI = ICON * SUPER

# Low to high, like the plot's default gradient.
GRADIENT = [(0.0, (0.16, 0.36, 1.0)), (0.5, (0.15, 0.85, 0.30)), (1.0, (1.0, 0.20, 0.14))]
HALO = (0.05, 0.06, 0.08, 0.55)


def lerp(a, b, t):
    return a + (b - a) * t


def gradient(t):
    t = min(1.0, max(0.0, t))
    for (t0, c0), (t1, c1) in zip(GRADIENT, GRADIENT[1:]):
        if t <= t1:
            u = (t - t0) / (t1 - t0)
            return tuple(lerp(a, b, u) for a, b in zip(c0, c1))
    return GRADIENT[-1][1]


def shade(colour, factor):
    return tuple(min(1.0, max(0.0, c * factor)) for c in colour)


class Shape:
    """Coverage of one shape at high resolution. Several primitives may be merged into one
    shape, so overlapping parts of a translucent shape are painted only once."""

    def __init__(self):
        self.mask = Image.new("L", (HI, HI), 0)
        self._draw = ImageDraw.Draw(self.mask)

    def disc(self, cx, cy, r):
        self._draw.ellipse([(cx - r) * SUPER, (cy - r) * SUPER, (cx + r) * SUPER, (cy + r) * SUPER], fill=255)

    def polyline(self, pts, r):
        """Segments of width 2r with round ends and joints."""
        if len(pts) > 1:
            self._draw.line([(x * SUPER, y * SUPER) for x, y in pts], fill=255, width=round(2 * r * SUPER))
        for x, y in pts:
            self.disc(x, y, r)

    def polygon(self, pts):
        self._draw.polygon([(x * SUPER, y * SUPER) for x, y in pts], fill=255)


class Canvas:
    """One icon at high resolution."""

    def __init__(self):
        self.image = Image.new("RGBA", (HI, HI), (0, 0, 0, 0))

    def paint(self, shape, colour):
        """Composites `colour` (r, g, b[, a] from 0 to 1, or a function of icon x, y giving
        one) over the canvas wherever the shape covers."""
        box = shape.mask.getbbox()
        if box is None:
            return
        if callable(colour):
            layer = Image.new("RGBA", (HI, HI), (0, 0, 0, 0))
            pixels = layer.load()
            x0, y0, x1, y1 = box
            for j in range(y0, y1):
                for i in range(x0, x1):
                    c = colour((i + 0.5) / SUPER, (j + 0.5) / SUPER)
                    pixels[i, j] = tuple(round(v * 255) for v in c[:3]) + (255,)
            alpha = 1.0
        else:
            layer = Image.new("RGBA", (HI, HI), tuple(round(v * 255) for v in colour[:3]) + (0,))
            alpha = colour[3] if len(colour) > 3 else 1.0
        layer.putalpha(shape.mask.point(lambda v: round(v * alpha)))
        self.image.alpha_composite(layer)

    def stroke(self, pts, width, colour, halo=True):
        """A polyline with round ends and a thin dark rim, so it reads on light and dark
        backgrounds alike."""
        if halo:
            rim = Shape()
            rim.polyline(pts, width / 2 + 0.75)
            self.paint(rim, HALO)
        line = Shape()
        line.polyline(pts, width / 2)
        self.paint(line, colour)

    def icon(self):
        """The icon at its final size; the filter averages with premultiplied alpha."""
        return self.image.resize((ICON, ICON), Image.Resampling.BOX)


class Camera:
    """A slightly perspective view from above and to the front-left, fitted to the icon."""

    def __init__(self, points, yaw=-35.0, pitch=38.0, distance=5.0, margin=4.0, shift=(0.0, 0.0)):
        self.cy, self.sy = math.cos(math.radians(yaw)), math.sin(math.radians(yaw))
        self.cp, self.sp = math.cos(math.radians(pitch)), math.sin(math.radians(pitch))
        self.distance = distance
        self.scale, self.ox, self.oy = 1.0, 0.0, 0.0
        raw = [self._raw(p) for p in points]
        xs, ys = [r[0] for r in raw], [r[1] for r in raw]
        span = max(max(xs) - min(xs), max(ys) - min(ys))
        self.scale = (ICON - 2 * margin) / span
        self.ox = ICON / 2 - (max(xs) + min(xs)) / 2 * self.scale + shift[0]
        self.oy = ICON / 2 - (max(ys) + min(ys)) / 2 * self.scale + shift[1]

    def _raw(self, p):
        x, y, z = p
        xr = x * self.cy - z * self.sy
        zr = x * self.sy + z * self.cy
        up = y * self.cp + zr * self.sp
        depth = zr * self.cp - y * self.sp
        s = self.distance / (self.distance + depth)
        return xr * s, -up * s, depth

    def __call__(self, p):
        x, y, depth = self._raw(p)
        return (self.ox + x * self.scale, self.oy + y * self.scale, depth)


def wave(x, z):
    return 0.42 * math.sin(2.0 * x + 0.6) * math.cos(1.7 * z - 0.3)


def gentle_wave(x, z):
    return 0.55 * math.sin(1.7 * x + 0.2) * math.cos(1.5 * z - 0.2)


def lattice(n, f):
    step = 2.0 / (n - 1)
    return [[(-1 + i * step, f(-1 + i * step, -1 + k * step), -1 + k * step) for i in range(n)]
            for k in range(n)]


def draw_plot():
    c = Canvas()
    pts = [p for row in lattice(8, gentle_wave) for p in row]
    cam = Camera(pts, margin=5.0)
    dots = sorted(((cam(p), p[1]) for p in pts), key=lambda d: -d[0][2])
    for (x, y, depth), h in dots:
        r = 2.5 * cam.distance / (cam.distance + depth)
        rim = Shape()
        rim.disc(x, y, r + 0.7)
        c.paint(rim, HALO)
        dot = Shape()
        dot.disc(x, y, r)
        base = gradient((h + 0.55) / 1.1)
        # A highlight towards the upper left makes each dot read as a small ball.
        c.paint(dot, lambda px, py, x=x, y=y, r=r, base=base: shade(
            base, 1.25 - 0.45 * min(1.0, math.hypot(px - x + r * 0.35, py - y + r * 0.35) / r)))
    return c


def quads(grid):
    n = len(grid)
    for k in range(n - 1):
        for i in range(n - 1):
            yield grid[k][i], grid[k][i + 1], grid[k + 1][i + 1], grid[k + 1][i]


def normal(q):
    a, b, c, d = q
    u = [c[j] - a[j] for j in range(3)]
    v = [d[j] - b[j] for j in range(3)]
    n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    length = math.sqrt(sum(x * x for x in n)) or 1.0
    n = tuple(x / length for x in n)
    return n if n[1] >= 0 else tuple(-x for x in n)


LIGHT = tuple(x / math.sqrt(0.4 ** 2 + 1 + 0.5 ** 2) for x in (-0.4, 1.0, -0.5))


def draw_mesh():
    c = Canvas()
    bump = lambda x, z: 0.55 * math.exp(-1.6 * (x * x + z * z)) - 0.18 * x * z
    grid = lattice(6, bump)
    cam = Camera([p for row in grid for p in row], margin=5.0)
    faces = []
    for q in quads(grid):
        proj = [cam(p) for p in q]
        faces.append((sum(p[2] for p in proj) / 4, proj, normal(q)))
    faces.sort(key=lambda f: -f[0])
    base = (0.30, 0.62, 0.95)
    for _, proj, n in faces:
        lit = 0.45 + 0.75 * max(0.0, sum(a * b for a, b in zip(n, LIGHT)))
        m = Shape()
        m.polygon([(p[0], p[1]) for p in proj])
        c.paint(m, shade(base, lit))
        edge = Shape()
        outline = [(p[0], p[1]) for p in proj]
        edge.polyline(outline + outline[:1], 0.4)
        c.paint(edge, shade(base, lit * 0.45) + (0.9,))
    return c


def draw_grid():
    c = Canvas()
    n = 25
    lines = [[(-1 + 2 * i / (n - 1), wave(-1 + 2 * i / (n - 1), z), z) for i in range(n)]
             for z in (-1.0, -0.5, 0.0, 0.5, 1.0)]
    lines += [[(x, wave(x, -1 + 2 * k / (n - 1)), -1 + 2 * k / (n - 1)) for k in range(n)]
              for x in (-1.0, -0.5, 0.0, 0.5, 1.0)]
    cam = Camera([p for line in lines for p in line], margin=5.0)
    # A faint sheet under the lines says they lie on a surface.
    sheet = Shape()
    for q in quads(lattice(9, wave)):
        sheet.polygon([cam(p)[:2] for p in q])
    c.paint(sheet, (0.55, 0.60, 0.68, 0.30))
    # Far lines first, so nearer ones cross over them.
    ordered = sorted(lines, key=lambda line: -sum(cam(p)[2] for p in line) / len(line))
    for line in ordered:
        pts = [cam(p)[:2] for p in line]
        c.stroke(pts, 1.7, (1.0, 0.72, 0.18))
    return c


def draw_cage():
    c = Canvas()
    corners = [(x, y, z) for x in (-1, 1) for y in (-0.75, 0.75) for z in (-1, 1)]
    cam = Camera(corners, margin=5.5)
    proj = [cam(p) for p in corners]
    edges = [(a, b) for a in range(8) for b in range(a + 1, 8)
             if sum(1 for j in range(3) if corners[a][j] != corners[b][j]) == 1]
    far = max(range(8), key=lambda v: proj[v][2])
    order = sorted(edges, key=lambda e: -(proj[e[0]][2] + proj[e[1]][2]))
    for a, b in order:
        if far in (a, b):
            c.stroke([proj[a][:2], proj[b][:2]], 1.1, (0.62, 0.65, 0.70, 0.85), halo=False)
    # A hint of the plot the cage encloses, kept translucent so the box stays the subject.
    for q in quads(lattice(7, lambda x, z: 0.6 * wave(x, z) - 0.1)):
        m = Shape()
        m.polygon([cam(p)[:2] for p in q])
        c.paint(m, gradient((sum(p[1] for p in q) / 4 + 0.35) / 0.5) + (0.35,))
    for a, b in order:
        if far not in (a, b):
            c.stroke([proj[a][:2], proj[b][:2]], 2.0, (0.90, 0.92, 0.95))
    for v in range(8):
        if v == far:
            continue
        rim = Shape()
        rim.disc(proj[v][0], proj[v][1], 2.6)
        c.paint(rim, HALO)
        dot = Shape()
        dot.disc(proj[v][0], proj[v][1], 1.9)
        c.paint(dot, (1.0, 1.0, 1.0))
    return c


def arc(cx, cy, r, start, end, steps=14):
    return [(cx + r * math.cos(math.radians(lerp(start, end, i / steps))),
             cy + r * math.sin(math.radians(lerp(start, end, i / steps)))) for i in range(steps + 1)]


# Digits in a box 0.62 wide and 1 high, y up.
GLYPHS = {
    "1": [[(0.12, 0.78), (0.36, 1.0), (0.36, 0.0)], [(0.10, 0.0), (0.60, 0.0)]],
    "2": [arc(0.31, 0.71, 0.27, 165, -35) + [(0.04, 0.0), (0.60, 0.0)]],
    "3": [arc(0.30, 0.76, 0.24, 150, -90) + arc(0.30, 0.26, 0.26, 90, -150)[1:]],
}


def draw_labels():
    c = Canvas()
    top, height = 9.0, 21.0
    for centre, ch in zip((12.0, 32.0, 52.0), "123"):
        for path in GLYPHS[ch]:
            pts = [(centre + (x - 0.31) * height, top + (1.0 - y) * height) for x, y in path]
            c.stroke(pts, 3.0, (0.94, 0.95, 0.97))
    # The axis doubles as the legend's colour bar.
    axis_y = 44.0
    c.stroke([(5.0, axis_y), (59.0, axis_y)], 5.0, (0, 0, 0, 0))  # rim only
    bar = Shape()
    bar.polyline([(5.0, axis_y), (59.0, axis_y)], 2.5)
    c.paint(bar, lambda x, y: gradient((x - 5.0) / 54.0))
    for x in (12.0, 32.0, 52.0):
        c.stroke([(x, axis_y + 3.5), (x, axis_y + 9.0)], 2.0, (0.94, 0.95, 0.97))
    return c


def preview(strip, scale):
    """The strip enlarged over a light checkerboard, a mid grey and a dark grey, then at
    its real size on the dark grey."""
    width, height = strip.size
    big = strip.resize((width * scale, height * scale), Image.Resampling.NEAREST)
    checker = Image.new("RGBA", big.size, (245, 245, 245, 255))
    squares = ImageDraw.Draw(checker)
    for y in range(0, big.height, 8):
        for x in range((y // 8) % 2 * 8, big.width, 16):
            squares.rectangle([x, y, x + 7, y + 7], fill=(205, 205, 205, 255))
    dark = (43, 43, 45, 255)
    sheet = Image.new("RGBA", (big.width, big.height * 3 + height), dark)
    for k, background in enumerate([checker, Image.new("RGBA", big.size, (120, 120, 120, 255)),
                                     Image.new("RGBA", big.size, dark)]):
        sheet.paste(Image.alpha_composite(background, big), (0, k * big.height))
    sheet.alpha_composite(strip, (0, 3 * big.height))
    return sheet.convert("RGB")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(root, "res", "Surfo.tif"))
    parser.add_argument("--preview", default="/tmp/icons_preview.png")
    args = parser.parse_args()

    icons = [draw_plot(), draw_mesh(), draw_grid(), draw_cage(), draw_labels()]
    strip = Image.new("RGBA", (ICON * COUNT, ICON), (0, 0, 0, 0))
    for k, canvas in enumerate(icons):
        strip.paste(canvas.icon(), (k * ICON, 0))

    # Written beside the target and renamed over it, so the strip is never half there.
    tmp = args.out + ".tmp"
    strip.save(tmp, format="TIFF", compression="tiff_adobe_deflate")
    os.replace(tmp, args.out)
    if args.preview:
        preview(strip, 4).save(args.preview, format="PNG")


if __name__ == "__main__":
    main()
