#!/usr/bin/env python3
"""Draws the skin's PNG images from simple shapes (Python standard library only).

Every picture is described below as filled or stroked shapes given as signed
distance functions in design pixels; each is rendered at twice its design size
so it stays sharp when the window is scaled to 144 dpi.

    python3 skin/source/draw_images.py          # writes the PNG files under skin/
    python3 skin/source/draw_images.py --check  # exit 1 when a committed PNG differs
"""

import math
import os
import struct
import sys
import zlib

SKIN = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RENDER_SCALE = 2

# Palette shared with the layouts.
TAB_FILL = "#1B1F27"
TAB_FILL_SELECTED = "#172A3C"
TAB_BORDER = "#2B313D"
ACCENT = "#2FB8FF"
GLYPH = "#8E99AB"
GLYPH_SELECTED = "#E6F5FF"
SYNC = "#3DDC84"
OUTLINE = "#C9D1DC"
BOLT = "#FFC53D"
PLUG = "#9AD4FF"
LEVEL = "#3DDC84"


def rgb(hex_colour):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0


# ---- signed distance functions (negative inside), design pixels --------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def rrect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return d


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def capsule(ax, ay, bx, by, r):
    return lambda x, y: segment_distance(x, y, ax, ay, bx, by) - r


def polygon(points):
    n = len(points)

    def d(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            best = min(best, segment_distance(x, y, ax, ay, bx, by))
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -best if inside else best
    return d


def arc(cx, cy, r, start, sweep, width):
    """A stroked arc; angles in degrees, clockwise on screen from the +x axis."""
    a0 = math.radians(start)
    a1 = math.radians(start + sweep)
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]

    def d(x, y):
        angle = math.degrees(math.atan2(y - cy, x - cx))
        if (angle - start) % 360.0 <= sweep:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2.0
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2.0
    return d


def outline(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2.0


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


# ---- canvas ---------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, scale=RENDER_SCALE):
        self.width, self.height, self.scale = width, height, scale
        self.pw, self.ph = width * scale, height * scale
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.pw * self.ph)]  # premultiplied

    def fill(self, shape, colour, alpha=1.0, box=None):
        r, g, b = rgb(colour)
        s = self.scale
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        for py in range(max(0, int(y0 * s) - 2), min(self.ph, int(math.ceil(y1 * s)) + 2)):
            y = (py + 0.5) / s
            row = py * self.pw
            for px in range(max(0, int(x0 * s) - 2), min(self.pw, int(math.ceil(x1 * s)) + 2)):
                cover = 0.5 - shape((px + 0.5) / s, y) * s
                if cover <= 0.0:
                    continue
                a = min(cover, 1.0) * alpha
                p = self.px[row + px]
                k = 1.0 - a
                p[0] = r * a + p[0] * k
                p[1] = g * a + p[1] * k
                p[2] = b * a + p[2] * k
                p[3] = a + p[3] * k

    def stroke(self, shape, width, colour, alpha=1.0, box=None):
        self.fill(outline(shape, width), colour, alpha, box)

    def rows(self):
        out = []
        for py in range(self.ph):
            row = bytearray()
            for p in self.px[py * self.pw:(py + 1) * self.pw]:
                a = p[3]
                if a <= 0.0:
                    row += b"\0\0\0\0"
                    continue
                row += bytes(int(round(min(1.0, c / a) * 255)) for c in p[:3])
                row.append(int(round(min(1.0, a) * 255)))
            out.append(bytes(row))
        return out


# ---- PNG ------------------------------------------------------------------------

def raw_stream(rows):
    """Scan lines with the Up filter, the form compressed into IDAT."""
    data = bytearray()
    previous = bytes(len(rows[0]))
    for row in rows:
        data.append(2)
        data += bytes((c - p) & 255 for c, p in zip(row, previous))
        previous = row
    return bytes(data)


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def encode_png(width, height, rows):
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw_stream(rows), 9)) + chunk(b"IEND", b""))


def decoded_stream(png):
    """The decompressed IDAT data of a PNG, or None when it is not one."""
    if png[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    pos, idat = 8, b""
    while pos + 8 <= len(png):
        length, kind = struct.unpack(">I4s", png[pos:pos + 8])
        if kind == b"IDAT":
            idat += png[pos + 8:pos + 8 + length]
        pos += 12 + length
    try:
        return zlib.decompress(idat)
    except zlib.error:
        return None


# ---- device glyphs, drawn in a 36 x 36 box --------------------------------------

def glyph(canvas, stem, ox, oy, colour, accent):
    def at(fn, *coords_then_rest, n):
        coords = list(coords_then_rest[:n])
        for i in range(0, n, 2):
            coords[i] += ox
            coords[i + 1] += oy
        return fn(*coords, *coords_then_rest[n:])
    box = (ox, oy, ox + 36, oy + 36)
    fill = lambda shape, c=colour, a=1.0: canvas.fill(shape, c, a, box)
    stroke = lambda shape, w, c=colour, a=1.0: canvas.stroke(shape, w, c, a, box)
    if stem == "kb_device":
        stroke(at(rrect, 1, 8, 35, 29, 3.5, n=4), 2.0)
        for row, y in enumerate((13.0, 18.0)):
            for i in range(6):
                x = 6.0 + i * 4.8 + (1.2 if row else 0.0)
                fill(at(rrect, x - 1.4, y - 1.4, x + 1.4, y + 1.4, 0.6, n=4))
        fill(at(capsule, 11, 23.5, 25, 23.5, 1.3, n=4), accent)
    elif stem == "ms_device":
        stroke(at(rrect, 9, 2, 27, 34, 9, n=4), 2.0)
        fill(at(capsule, 10, 14, 26, 14, 0.9, n=4))
        fill(at(capsule, 18, 3, 18, 14, 0.9, n=4))
        fill(at(capsule, 18, 7, 18, 10.5, 1.9, n=4), accent)
    elif stem in ("hard_mp_device", "soft_mp_device"):
        pad = at(rrect, 1, 7, 35, 29, 3.5, n=4)
        fill(pad, colour, 0.18)
        stroke(pad, 2.0)
        if stem == "hard_mp_device":
            fill(polygon([(ox + 6, oy + 25), (ox + 18, oy + 11), (ox + 22, oy + 11),
                          (ox + 10, oy + 25)]), colour, 0.55)
            fill(at(capsule, 5, 32, 31, 32, 1.1, n=4), accent)
        else:
            for y in (13.0, 18.0, 23.0):
                fill(at(arc, 12, y + 6, 7, 235, 70, 1.2, n=2), colour, 0.8)
                fill(at(arc, 24, y - 6, 7, 55, 70, 1.2, n=2), colour, 0.8)
            fill(polygon([(ox + 35, oy + 20), (ox + 35, oy + 29), (ox + 26, oy + 29)]), accent)
    elif stem == "hd_device":
        stroke(at(arc, 18, 20, 13, 180, 180, 0.0, n=2), 2.6)
        fill(at(rrect, 2.5, 18, 10.5, 32, 3, n=4))
        fill(at(rrect, 25.5, 18, 33.5, 32, 3, n=4))
        fill(at(capsule, 6.5, 31, 12, 34, 1.0, n=4), accent)
    elif stem == "hub_device":
        stroke(at(rrect, 13, 2, 23, 11, 1.5, n=4), 1.8)
        fill(at(rrect, 15.5, 5, 17.5, 7, 0.4, n=4))
        fill(at(rrect, 18.5, 5, 20.5, 7, 0.4, n=4))
        body = at(rrect, 10, 11, 26, 34, 4, n=4)
        fill(body, colour, 0.18)
        stroke(body, 2.0)
        fill(at(circle, 18, 27, 2.0, n=2), accent)
    else:  # unknow_device
        stroke(at(circle, 18, 18, 15.5, n=2), 2.0)
        stroke(at(arc, 18, 14, 4.6, 180, 240, 0.0, n=2), 2.4)
        fill(at(capsule, 18, 18.6, 18, 21.2, 1.2, n=4))
        fill(at(circle, 18, 26, 1.6, n=2), accent)


def sync_badge(canvas, cx, cy):
    canvas.fill(circle(cx, cy, 7.5), "#0F1116")
    canvas.fill(circle(cx, cy, 6.5), SYNC)
    canvas.fill(arc(cx, cy, 3.6, 200, 140, 1.4), "#0F1116")
    canvas.fill(arc(cx, cy, 3.6, 20, 140, 1.4), "#0F1116")
    canvas.fill(polygon([(cx + 4.9, cy - 0.2), (cx + 2.3, cy - 0.2), (cx + 3.6, cy + 1.9)]), "#0F1116")
    canvas.fill(polygon([(cx - 4.9, cy + 0.2), (cx - 2.3, cy + 0.2), (cx - 3.6, cy - 1.9)]), "#0F1116")


def device_tab(stem, selected, synchro):
    """A whole tab button face, 148 x 52: the device's name is drawn over it."""
    c = Canvas(148, 52)
    face = rrect(0.75, 0.75, 147.25, 51.25, 8)
    c.fill(face, TAB_FILL_SELECTED if selected else TAB_FILL)
    if selected:
        c.stroke(face, 1.5, ACCENT)
        c.fill(capsule(4, 16, 4, 36, 1.5), ACCENT)
    else:
        c.stroke(face, 1.0, TAB_BORDER)
    glyph(c, stem, 10, 8, GLYPH_SELECTED if selected else GLYPH, ACCENT)
    if synchro:
        sync_badge(c, 42, 40)
    return c


# ---- power pictures, 56 x 20: a battery (terminal on the left) and a sign ---------

def battery(c, body_fill=None):
    c.fill(rrect(1, 7, 5, 13, 1), OUTLINE)
    body = rrect(5.5, 2.5, 38.5, 17.5, 3)
    if body_fill:
        c.fill(rrect(8, 5, 36, 15, 1.5), body_fill)
    c.stroke(body, 1.6, OUTLINE)


def bolt(c, ox, colour=BOLT):
    c.fill(polygon([(ox + 8, 1), (ox + 2, 11), (ox + 6.5, 11), (ox + 5, 19), (ox + 12, 8),
                    (ox + 7.5, 8), (ox + 9.5, 1)]), colour)


def power_image(kind):
    c = Canvas(56, 20)
    if kind == "powered":  # running on cable power: a plug
        battery(c)
        c.fill(rrect(43, 6, 51, 13, 1.5), PLUG)
        c.fill(capsule(45, 2.5, 45, 6, 0.8), PLUG)
        c.fill(capsule(49, 2.5, 49, 6, 0.8), PLUG)
        c.fill(capsule(47, 13, 47, 18, 1.0), PLUG)
    elif kind == "powering":  # charging
        battery(c)
        bolt(c, 42)
    elif kind == "wuxian_powering":  # charging, level unknown on the receiver
        battery(c, body_fill=LEVEL)
        bolt(c, 42)
    else:  # "power": on battery
        battery(c)
    return c


def phone_image(kind):
    c = Canvas(24, 40)
    body = rrect(3, 1, 21, 39, 4 if kind == "iphone" else 3)
    if kind == "no_device":
        c.stroke(body, 1.4, OUTLINE, 0.35)
        c.fill(capsule(4, 34, 20, 6, 1.1), "#FF5A6E", 0.9)
        return c
    screen = rrect(5.5, 4, 18.5, 32 if kind == "other" else 36, 2)
    c.fill(screen, ACCENT, 0.22)
    c.stroke(body, 1.6, OUTLINE)
    if kind == "iphone":
        c.fill(capsule(10, 6.5, 14, 6.5, 1.1), OUTLINE)
    elif kind == "samsung":
        c.fill(circle(12, 6.5, 1.2), OUTLINE)
    else:
        c.stroke(circle(12, 35.5, 1.8), 1.0, OUTLINE)
    return c


def app_icon():
    c = Canvas(64, 64)
    tile = rrect(2, 2, 62, 62, 14)
    c.fill(tile, "#161A21")
    c.stroke(tile, 2.0, ACCENT, 0.9)
    c.fill(arc(31, 30, 14, 0, 360, 5.5), ACCENT)
    c.fill(capsule(37, 37, 47, 47, 3.0), ACCENT)
    c.fill(circle(31, 30, 4), SYNC)
    return c


def background():
    """The default window background, 1000 x 640 at design size: a soft vertical fade."""
    c = Canvas(1000, 640, 1)
    top, bottom = rgb("#171B22"), rgb("#0D0F13")
    for py in range(c.ph):
        t = py / (c.ph - 1)
        colour = [top[i] + (bottom[i] - top[i]) * t for i in range(3)] + [1.0]
        for px in range(c.pw):
            c.px[py * c.pw + px] = colour
    return c


def skin_picture(top, bottom, glow, gx, gy, radius):
    """A background offered in the skin window, 1000 x 640: a vertical fade lit by a soft glow."""
    c = Canvas(1000, 640, 1)
    top, bottom, glow = rgb(top), rgb(bottom), rgb(glow)
    for py in range(c.ph):
        t = py / (c.ph - 1)
        base = [top[i] + (bottom[i] - top[i]) * t for i in range(3)]
        for px in range(c.pw):
            k = max(0.0, 1.0 - math.hypot(px - gx, py - gy) / radius) ** 2 * 0.5
            c.px[py * c.pw + px] = [base[i] * (1 - k) + glow[i] * k for i in range(3)] + [1.0]
    return c


SKIN_PICTURES = (
    ("skin/skin_1.png", ("#101826", "#07090D", "#1E6FD9", 820, 80, 620)),
    ("skin/skin_2.png", ("#1E1414", "#0B0808", "#D9531E", 160, 600, 640)),
    ("skin/skin_3.png", ("#0F1C17", "#060B09", "#1ED98A", 500, 320, 520)),
)


def slider_fill():
    """The filled part of a slider, 200 x 20; the program stretches it over the whole slider."""
    c = Canvas(200, 20)
    c.fill(rrect(0, 8, 200, 12, 2), ACCENT)
    return c


def slider_thumb(active):
    """A slider's thumb, 16 x 16: the accent one, or grey for a DPI stage that is not in use."""
    c = Canvas(16, 16)
    c.fill(circle(8, 8, 7.5), ACCENT if active else "#5A6272")
    c.fill(circle(8, 8, 3), "#0D1016" if active else "#12161C")
    return c


def images():
    stems = ["kb_device", "ms_device", "hard_mp_device", "soft_mp_device", "hd_device",
             "hub_device", "unknow_device"]
    for stem in stems:
        for suffix, selected, synchro in (("normal", False, False), ("selected", True, False),
                                          ("synchro_normal", False, True),
                                          ("synchro_selected", True, True)):
            yield "common/device_ico/%s_%s.png" % (stem, suffix), \
                lambda s=stem, a=selected, b=synchro: device_tab(s, a, b)
    for kind in ("powered", "powering", "wuxian_powering", "power"):
        yield "power/%s.png" % kind, lambda k=kind: power_image(k)
    for kind in ("iphone", "samsung", "other", "no_device"):
        yield "power/Phone_type_%s.png" % kind, lambda k=kind: phone_image(k)
    yield "Control/SliderBar_BK1.png", slider_fill
    yield "Control/SliderBar1_Thumb.png", lambda: slider_thumb(True)
    yield "Control/SliderBar2_Thumb.png", lambda: slider_thumb(False)
    yield "common/app_icon.png", app_icon
    yield "common/background.png", background
    for name, args in SKIN_PICTURES:
        yield name, lambda a=args: skin_picture(*a)


def main(argv):
    check = "--check" in argv
    stale = []
    for name, draw in images():
        canvas = draw()
        rows = canvas.rows()
        path = os.path.join(SKIN, name)
        if check:
            try:
                with open(path, "rb") as f:
                    current = decoded_stream(f.read())
            except OSError:
                current = None
            if current != raw_stream(rows):
                stale.append(name)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(encode_png(canvas.pw, canvas.ph, rows))
    for name in stale:
        print("out of date: " + name)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
