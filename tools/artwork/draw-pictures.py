#!/usr/bin/env python3
"""Draws the program's pictures and writes them to resources/pictures/.

Each picture is written as SVG here, rendered by rsvg-convert (Debian: librsvg2-bin) and finished by ImageMagick
(Debian: imagemagick): flattened to 24-bit colour and stripped, so the same script writes the same files. The
lettering is DejaVu Serif Bold Italic (fonts-dejavu-extra) and DejaVu Sans (fonts-dejavu-core). Run by hand from
any folder after changing a drawing; the build only uses the PNGs.

    tools/artwork/draw-pictures.py                    # all pictures
    tools/artwork/draw-pictures.py splash-front.png   # only the ones named
"""

import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # leave no cache folder beside the scripts
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from eggs import egg, egg_path, fmt, ground_shadow, svg  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
OUT = os.path.join(ROOT, "resources", "pictures")

TITLE_FONT = 'font-family="DejaVu Serif" font-weight="bold" font-style="italic"'
TEXT_FONT = 'font-family="DejaVu Sans"'


def gold_title(uid, x, y, size, text="Zorvanell", anchor="middle", shadow=True, stroke="#4a1c02"):
    """The product name in gold letters with a dark rim and a soft drop shadow."""
    sw = fmt(size * 0.07)
    out = [
        f'<defs><linearGradient id="{uid}g" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#fff8cf"/><stop offset="0.45" stop-color="#ffcb45"/>'
        '<stop offset="0.55" stop-color="#f7a526"/><stop offset="1" stop-color="#d2600c"/></linearGradient>'
        f'<filter id="{uid}f" x="-10%" y="-30%" width="120%" height="160%">'
        f'<feGaussianBlur stdDeviation="{fmt(size * 0.05)}"/></filter></defs>'
    ]
    attrs = f'{TITLE_FONT} font-size="{fmt(size)}" text-anchor="{anchor}"'
    if shadow:
        off = size * 0.05
        out.append(
            f'<text x="{fmt(x + off)}" y="{fmt(y + off * 1.4)}" {attrs} fill="#000" stroke="#000" '
            f'stroke-width="{sw}" opacity="0.6" filter="url(#{uid}f)">{text}</text>'
        )
    out.append(
        f'<text x="{fmt(x)}" y="{fmt(y)}" {attrs} fill="url(#{uid}g)" stroke="{stroke}" stroke-width="{sw}" '
        f'stroke-linejoin="round" paint-order="stroke">{text}</text>'
    )
    return "\n".join(out)


def sparkle(x, y, r, colour="#fff", opacity=0.9):
    """A four-pointed twinkle."""
    q = r * 0.18
    pts = [(x, y - r), (x + q, y - q), (x + r, y), (x + q, y + q), (x, y + r), (x - q, y + q), (x - r, y), (x - q, y - q)]
    p = " ".join(f"{fmt(a)},{fmt(b)}" for a, b in pts)
    return f'<polygon points="{p}" fill="{colour}" opacity="{fmt(opacity)}"/>'


def rays(uid, cx, cy, length, count, opacity):
    """Soft light rays fanning out from a point, fading with distance."""
    wedges = []
    for i in range(count):
        a0 = 2 * math.pi * i / count
        a1 = a0 + math.pi / count
        wedges.append(
            f"M{fmt(cx)},{fmt(cy)} L{fmt(cx + length * math.cos(a0))},{fmt(cy + length * math.sin(a0))} "
            f"L{fmt(cx + length * math.cos(a1))},{fmt(cy + length * math.sin(a1))} Z"
        )
    return (
        f'<defs><radialGradient id="{uid}" cx="{fmt(cx)}" cy="{fmt(cy)}" r="{fmt(length)}" gradientUnits="userSpaceOnUse">'
        f'<stop offset="0" stop-color="#fff2c0" stop-opacity="{fmt(opacity)}"/>'
        f'<stop offset="1" stop-color="#fff2c0" stop-opacity="0"/></radialGradient></defs>'
        f'<path d="{" ".join(wedges)}" fill="url(#{uid})"/>'
    )


def nest(uid, cx, rim_y, rx, ry, depth, seed):
    """A straw nest seen from slightly above; returns (back, front): draw the eggs between the two."""
    rnd = random.Random(seed)
    straws = ["#e8c274", "#d3a452", "#f3d995", "#b9853a", "#8a5a22"]

    def straw_fill(clip, x0, x1, y0, y1, count, width):
        out = [f'<g clip-path="url(#{clip})" fill="none" stroke-linecap="round">']
        for _ in range(count):
            sx, sy = rnd.uniform(x0 - 12, x1), rnd.uniform(y0, y1)
            ln = rnd.uniform(rx * 0.15, rx * 0.4)
            a = rnd.uniform(-0.35, 0.35)
            ex, ey = sx + ln * math.cos(a), sy + ln * math.sin(a)
            mx, my = (sx + ex) / 2, (sy + ey) / 2 + rnd.uniform(-2.5, 2.5)
            out.append(
                f'<path d="M{fmt(sx)},{fmt(sy)} Q{fmt(mx)},{fmt(my)} {fmt(ex)},{fmt(ey)}" '
                f'stroke="{rnd.choice(straws)}" stroke-width="{fmt(rnd.uniform(0.7, width))}"/>'
            )
        out.append("</g>")
        return "\n".join(out)

    x0, x1 = cx - rx, cx + rx
    back_shape = f'<ellipse cx="{fmt(cx)}" cy="{fmt(rim_y - 2)}" rx="{fmt(rx)}" ry="{fmt(ry + 4)}"/>'
    # The front wall: from the near half of the rim down round the bowl.
    front = (
        f"M{fmt(x0)},{fmt(rim_y)} A{fmt(rx)},{fmt(ry)} 0 0 0 {fmt(x1)},{fmt(rim_y)} "
        f"C{fmt(x1)},{fmt(rim_y + depth * 0.9)} {fmt(cx + rx * 0.55)},{fmt(rim_y + ry + depth)} {fmt(cx)},{fmt(rim_y + ry + depth)} "
        f"C{fmt(cx - rx * 0.55)},{fmt(rim_y + ry + depth)} {fmt(x0)},{fmt(rim_y + depth * 0.9)} {fmt(x0)},{fmt(rim_y)} Z"
    )
    defs = (
        f'<defs><clipPath id="{uid}b">{back_shape}</clipPath><clipPath id="{uid}f"><path d="{front}"/></clipPath>'
        f'<linearGradient id="{uid}g" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#b98338"/><stop offset="1" stop-color="#4a2c0c"/></linearGradient>'
        f'<linearGradient id="{uid}s" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#000" stop-opacity="0"/><stop offset="1" stop-color="#000" stop-opacity="0.45"/>'
        "</linearGradient></defs>"
    )
    back = "\n".join(
        [
            defs,
            back_shape.replace("/>", ' fill="#5a3810"/>'),
            straw_fill(uid + "b", x0, x1, rim_y - ry - 6, rim_y + ry, int(rx * 1.6), 1.3),
            back_shape.replace("/>", ' fill="#000" opacity="0.25"/>'),
        ]
    )
    front_parts = [
        f'<path d="{front}" fill="url(#{uid}g)"/>',
        straw_fill(uid + "f", x0, x1, rim_y - 2, rim_y + ry + depth, int(rx * 2.4), 1.6),
        f'<path d="{front}" fill="url(#{uid}s)"/>',
    ]
    # The rim's edge catches the light.
    front_parts.append(
        f'<path d="M{fmt(x0)},{fmt(rim_y)} A{fmt(rx)},{fmt(ry)} 0 0 0 {fmt(x1)},{fmt(rim_y)}" fill="none" '
        f'stroke="#e2b866" stroke-width="1.6" opacity="0.8"/>'
    )
    # A few loose straws across the rim.
    for _ in range(int(rx / 4)):
        t = rnd.uniform(-0.95, 0.95)
        sx = cx + t * rx
        sy = rim_y + ry * math.sqrt(1 - t * t)
        a = rnd.uniform(-0.6, 0.6) + (math.pi if rnd.random() < 0.5 else 0)
        ln = rnd.uniform(6, 14)
        front_parts.append(
            f'<path d="M{fmt(sx)},{fmt(sy)} q{fmt(ln * math.cos(a) / 2)},{fmt(-2.5)} '
            f'{fmt(ln * math.cos(a))},{fmt(ln * math.sin(a) * 0.4)}" fill="none" stroke="{rnd.choice(straws[:4])}" '
            f'stroke-width="1.1" stroke-linecap="round"/>'
        )
    return back, "\n".join(front_parts)


def night_sky(uid, width, height, glow_x, glow_y, glow_r, dim=1.0):
    """Deep blue backdrop with a warm glow behind the eggs."""
    def c(hexcolour):
        r, g, b = (int(hexcolour[i : i + 2], 16) for i in (1, 3, 5))
        return "#%02x%02x%02x" % (int(r * dim), int(g * dim), int(b * dim))

    return (
        f'<defs><linearGradient id="{uid}b" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{c("#0b1d48")}"/><stop offset="0.6" stop-color="{c("#1b4290")}"/>'
        f'<stop offset="1" stop-color="{c("#0d2250")}"/></linearGradient>'
        f'<radialGradient id="{uid}w" cx="{fmt(glow_x)}" cy="{fmt(glow_y)}" r="{fmt(glow_r)}" gradientUnits="userSpaceOnUse">'
        f'<stop offset="0" stop-color="#ffd27a" stop-opacity="{fmt(0.55 * dim)}"/>'
        f'<stop offset="0.5" stop-color="#ff9a3c" stop-opacity="{fmt(0.16 * dim)}"/>'
        f'<stop offset="1" stop-color="#ff9a3c" stop-opacity="0"/></radialGradient></defs>'
        f'<rect width="{width}" height="{height}" fill="url(#{uid}b)"/>'
        f'<rect width="{width}" height="{height}" fill="url(#{uid}w)"/>'
    )


def three_eggs_in_nest(prefix, cx, base):
    """The splash's centre piece: the icon's egg between two smaller ones, sitting in a nest."""
    back, front = nest(prefix + "n", cx, base - 17, 78, 8, 15, seed=7)
    return "\n".join(
        [
            back,
            egg(prefix + "l", cx - 42, base - 34, 46, 62, "sky", "waves", angle=-17),
            egg(prefix + "r", cx + 42, base - 34, 46, 62, "berry", "diamonds", angle=17),
            egg(prefix + "m", cx, base - 44, 64, 86, "sun", "zigzag"),
            front,
        ]
    )


def starry(seed, count, width, height, keep_out):
    """Twinkles scattered over the sky, none on the lettering or the eggs."""
    rnd = random.Random(seed)
    out = []
    while len(out) < count:
        x, y = rnd.uniform(6, width - 6), rnd.uniform(5, height - 5)
        if any(a <= x <= c and b <= y <= d for a, b, c, d in keep_out):
            continue
        out.append(sparkle(x, y, rnd.uniform(1.5, 3.6), opacity=rnd.uniform(0.35, 0.85)))
    return "".join(out)


def splash_front():
    w, h = 400, 200
    cx = 208  # the middle of the hidden hot spot (128..289 x 56..153): the eggs sit there
    body = [
        night_sky("sky", w, h, cx, 104, 150),
        rays("ray", cx, 104, 230, 18, 0.13),
        starry(3, 20, w, h, [(60, 4, 345, 58), (126, 56, 292, 166), (30, 168, 372, 194)]),
        three_eggs_in_nest("e", cx, 158),
        gold_title("t", 200, 47, 50),
        '<g stroke="#8fb0ea" stroke-width="1" opacity="0.75">'
        '<line x1="26" y1="181" x2="80" y2="181"/><line x1="320" y1="181" x2="374" y2="181"/></g>',
        f'<path d="{egg_path(87, 181, 6, 8)}" fill="#ffcb45"/><path d="{egg_path(313, 181, 6, 8)}" fill="#ffcb45"/>',
        f'<text x="200" y="186" {TEXT_FONT} font-size="14.5" fill="#e4ecff" text-anchor="middle" '
        'letter-spacing="0.6">Каталог пасхальных яиц</text>',
    ]
    return svg(w, h, "\n".join(body))


def splash_back():
    # Lies under the foreground picture while the splash grows; the same scene, darker and without lettering.
    w, h = 400, 200
    body = [
        night_sky("sky", w, h, 208, 104, 150, dim=0.55),
        three_eggs_in_nest("e", 208, 158),
        f'<rect width="{w}" height="{h}" fill="#000" opacity="0.45"/>',
    ]
    return svg(w, h, "\n".join(body))


def chick(uid, cx, cy, r, wave=True):
    """A round yellow chick centred on cx, cy, radius r, looking at the viewer; one wing raised when wave."""
    out = [
        f'<defs><radialGradient id="{uid}b" cx="0.38" cy="0.32" r="0.75">'
        '<stop offset="0" stop-color="#fff6b0"/><stop offset="0.55" stop-color="#ffd42e"/>'
        '<stop offset="1" stop-color="#e89a0c"/></radialGradient>'
        f'<radialGradient id="{uid}k"><stop offset="0" stop-color="#ff7a7a" stop-opacity="0.7"/>'
        '<stop offset="1" stop-color="#ff7a7a" stop-opacity="0"/></radialGradient></defs>'
    ]
    line = fmt(max(0.8, r * 0.045))
    # Feathers on top of the head.
    for dx, a in ((-0.12, -25), (0.02, 0), (0.16, 25)):
        x, y = cx + dx * r, cy - r * 0.95
        out.append(
            f'<path d="M{fmt(x)},{fmt(y)} q{fmt(r * 0.05)},{fmt(-r * 0.28)} {fmt(r * 0.2)},{fmt(-r * 0.3)}" '
            f'fill="none" stroke="#f0b000" stroke-width="{fmt(r * 0.08)}" stroke-linecap="round" '
            f'transform="rotate({a} {fmt(x)} {fmt(y)})"/>'
        )
    out.append(f'<circle cx="{fmt(cx)}" cy="{fmt(cy)}" r="{fmt(r)}" fill="url(#{uid}b)" stroke="#b8730a" stroke-width="{line}"/>')
    # Wings: the left one raised in a wave.
    wl = (cx - r * 0.98, cy + r * 0.15)
    if wave:
        out.append(
            f'<ellipse cx="{fmt(wl[0] - r * 0.1)}" cy="{fmt(wl[1] - r * 0.35)}" rx="{fmt(r * 0.2)}" ry="{fmt(r * 0.42)}" '
            f'fill="#ffc81e" stroke="#b8730a" stroke-width="{line}" transform="rotate(-40 {fmt(wl[0])} {fmt(wl[1])})"/>'
        )
    else:
        out.append(
            f'<ellipse cx="{fmt(wl[0] + r * 0.1)}" cy="{fmt(wl[1] + r * 0.05)}" rx="{fmt(r * 0.18)}" ry="{fmt(r * 0.38)}" '
            f'fill="#ffc81e" stroke="#b8730a" stroke-width="{line}" transform="rotate(25 {fmt(wl[0])} {fmt(wl[1])})"/>'
        )
    wr = (cx + r * 0.98, cy + r * 0.15)
    out.append(
        f'<ellipse cx="{fmt(wr[0] - r * 0.1)}" cy="{fmt(wr[1] + r * 0.05)}" rx="{fmt(r * 0.18)}" ry="{fmt(r * 0.38)}" '
        f'fill="#ffc81e" stroke="#b8730a" stroke-width="{line}" transform="rotate(-25 {fmt(wr[0])} {fmt(wr[1])})"/>'
    )
    # Eyes with a glint, cheeks and the beak.
    for sx in (-1, 1):
        ex, ey = cx + sx * r * 0.33, cy - r * 0.18
        out.append(f'<ellipse cx="{fmt(ex)}" cy="{fmt(ey)}" rx="{fmt(r * 0.12)}" ry="{fmt(r * 0.16)}" fill="#2a1a10"/>')
        out.append(f'<circle cx="{fmt(ex + r * 0.04)}" cy="{fmt(ey - r * 0.06)}" r="{fmt(r * 0.05)}" fill="#fff"/>')
        out.append(f'<ellipse cx="{fmt(cx + sx * r * 0.55)}" cy="{fmt(cy + r * 0.12)}" rx="{fmt(r * 0.16)}" ry="{fmt(r * 0.1)}" fill="url(#{uid}k)"/>')
    bx, by = cx, cy + r * 0.02
    out.append(
        f'<path d="M{fmt(bx - r * 0.17)},{fmt(by)} L{fmt(bx + r * 0.17)},{fmt(by)} L{fmt(bx)},{fmt(by + r * 0.22)} Z" '
        f'fill="#ff8a1e" stroke="#b04a06" stroke-width="{line}" stroke-linejoin="round"/>'
    )
    out.append(
        f'<path d="M{fmt(bx - r * 0.17)},{fmt(by)} L{fmt(bx)},{fmt(by - r * 0.1)} L{fmt(bx + r * 0.17)},{fmt(by)} Z" '
        f'fill="#ffb04a" stroke="#b04a06" stroke-width="{line}" stroke-linejoin="round"/>'
    )
    return "\n".join(out)


def crack_line(cx, w, y, teeth, depth):
    """Points of a jagged crack across an egg at height y."""
    pts = []
    for i in range(teeth + 1):
        x = cx - w * 0.62 + w * 1.24 * i / teeth
        pts.append((x, y + (depth if i % 2 else -depth)))
    return pts


def broken_egg(uid, cx, cy, w, h, crack_y, palette, pattern, part, teeth=9, depth=5):
    """The lower ("bottom") or upper ("top") part of an egg broken along a jagged crack at crack_y."""
    pts = crack_line(cx, w, crack_y, teeth, depth)
    far = cy + h if part == "bottom" else cy - h
    poly = pts + [(pts[-1][0], far), (pts[0][0], far)]
    p = " ".join(f"{fmt(x)},{fmt(y)}" for x, y in poly)
    edge = " ".join(f"{fmt(x)},{fmt(y)}" for x, y in pts)
    # The broken edge shows the shell's pale inside as a thin rim.
    return (
        f'<defs><clipPath id="{uid}k"><polygon points="{p}"/></clipPath>'
        f'<clipPath id="{uid}e"><path d="{egg_path(cx, cy, w, h)}"/></clipPath></defs>'
        f'<g clip-path="url(#{uid}k)">{egg(uid, cx, cy, w, h, palette, pattern)}'
        f'<g clip-path="url(#{uid}e)"><polyline points="{edge}" fill="none" stroke="#fff7e6" '
        f'stroke-width="{fmt(w * 0.035)}" stroke-linejoin="miter"/></g></g>'
    )


def meadow(uid, width, top, height, seed, blades):
    """Rolling green grass from top down to height, with blades along its crest."""
    rnd = random.Random(seed)
    crest = [(x, top + 6 * math.sin(x / 55.0 + seed)) for x in range(-10, width + 11, 10)]
    d = "M" + " L".join(f"{fmt(x)},{fmt(y)}" for x, y in crest) + f" L{width + 10},{height} L-10,{height} Z"
    out = [
        f'<defs><linearGradient id="{uid}" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#7cc84a"/><stop offset="1" stop-color="#2f7d23"/></linearGradient></defs>',
        f'<path d="{d}" fill="url(#{uid})"/>',
    ]
    greens = ["#4d9f2f", "#6dbb3f", "#8fd457", "#3d8a27"]
    for _ in range(blades):
        x = rnd.uniform(-4, width + 4)
        y = top + 6 * math.sin(x / 55.0 + seed) + rnd.uniform(-1, 14)
        ln = rnd.uniform(6, 15)
        bend = rnd.uniform(-5, 5)
        out.append(
            f'<path d="M{fmt(x - 1.6)},{fmt(y + 2)} Q{fmt(x + bend * 0.4)},{fmt(y - ln * 0.6)} {fmt(x + bend)},{fmt(y - ln)} '
            f'Q{fmt(x + bend * 0.3)},{fmt(y - ln * 0.5)} {fmt(x + 1.6)},{fmt(y + 2)} Z" fill="{rnd.choice(greens)}"/>'
        )
    return "\n".join(out)


def daisy(x, y, r, colour="#ffffff", heart="#ffc21a"):
    petals = "".join(
        f'<ellipse cx="{fmt(x)}" cy="{fmt(y - r * 0.6)}" rx="{fmt(r * 0.28)}" ry="{fmt(r * 0.5)}" fill="{colour}" '
        f'transform="rotate({i * 45} {fmt(x)} {fmt(y)})"/>'
        for i in range(8)
    )
    return petals + f'<circle cx="{fmt(x)}" cy="{fmt(y)}" r="{fmt(r * 0.32)}" fill="{heart}"/>'


def cloud(x, y, s, opacity=0.9):
    return (
        f'<g fill="#ffffff" opacity="{fmt(opacity)}"><ellipse cx="{fmt(x)}" cy="{fmt(y)}" rx="{fmt(s * 1.2)}" ry="{fmt(s * 0.45)}"/>'
        f'<circle cx="{fmt(x - s * 0.45)}" cy="{fmt(y - s * 0.25)}" r="{fmt(s * 0.42)}"/>'
        f'<circle cx="{fmt(x + s * 0.2)}" cy="{fmt(y - s * 0.4)}" r="{fmt(s * 0.55)}"/></g>'
    )


def speech_bubble(uid, x, y, w, h, tail_x, tail_y, text, size):
    """A rounded bubble with its tail leaving the right end towards the speaker at tail_x, tail_y."""
    r = h / 2
    body = (
        f"M{fmt(x + r)},{fmt(y)} H{fmt(x + w - r)} A{fmt(r)},{fmt(r)} 0 0 1 {fmt(x + w - r)},{fmt(y + h)} "
        f"H{fmt(x + r)} A{fmt(r)},{fmt(r)} 0 0 1 {fmt(x + r)},{fmt(y)} Z"
    )
    bx = x + w - r * 0.9
    tail = f"M{fmt(bx)},{fmt(y + h * 0.3)} L{fmt(tail_x)},{fmt(tail_y)} L{fmt(bx)},{fmt(y + h * 0.82)} Z"
    both = f'<path d="{body}"/><path d="{tail}"/>'
    return (
        f'<defs><filter id="{uid}" x="-10%" y="-20%" width="130%" height="160%"><feGaussianBlur stdDeviation="2.5"/></filter></defs>'
        f'<g fill="#000" opacity="0.25" transform="translate(3 4)" filter="url(#{uid})">{both}</g>'
        # Outlines first, then the white of both over the seam between them.
        f'<g fill="#fff" stroke="#3b4a66" stroke-width="4" stroke-linejoin="round">{both}</g>'
        f'<g fill="#fff">{both}</g>'
        f'<text x="{fmt(x + w / 2)}" y="{fmt(y + h / 2 + size * 0.36)}" {TEXT_FONT} font-weight="bold" font-size="{fmt(size)}" '
        f'fill="#27334d" text-anchor="middle">{text}</text>'
    )


def spring_sky(uid, width, height):
    return (
        f'<defs><linearGradient id="{uid}" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#3f8fdc"/><stop offset="0.7" stop-color="#a9dcf7"/>'
        '<stop offset="1" stop-color="#e8f7ff"/></linearGradient>'
        f'<radialGradient id="{uid}s" cx="0.92" cy="0.05" r="0.55">'
        '<stop offset="0" stop-color="#fffbe0" stop-opacity="0.95"/><stop offset="0.25" stop-color="#fff3b0" stop-opacity="0.5"/>'
        '<stop offset="1" stop-color="#fff3b0" stop-opacity="0"/></radialGradient></defs>'
        f'<rect width="{width}" height="{height}" fill="url(#{uid})"/><rect width="{width}" height="{height}" fill="url(#{uid}s)"/>'
    )


def logo_hatched():
    """The first hidden picture: the icon's egg has hatched, and the chick is surprised to be found."""
    w, h = 475, 257
    ex, ey, ew, eh = 362, 160, 124, 160  # the egg: bottom at 240
    crack = 168
    rnd = random.Random(11)
    shells = []
    # Bits of shell on the grass: painted outside, pale inside showing on one edge.
    for x, y, a, s in ((286, 236, 15, 1.0), (270, 247, -40, 0.8), (446, 241, 60, 0.9)):
        shells.append(
            f'<g transform="translate({x} {y}) rotate({a}) scale({s})">'
            '<path d="M-7,-2 L-2,-6 L1,-3 L6,-5 L8,2 L1,5 L-5,4 Z" fill="#ee8a3c" stroke="#7a2e08" stroke-width="0.9" '
            'stroke-linejoin="round"/><path d="M-7,-2 L-2,-6 L1,-3 L6,-5" fill="none" stroke="#fff3dc" stroke-width="1.4"/></g>'
        )
    flowers = "".join(
        daisy(rnd.uniform(10, 230), rnd.uniform(222, 250), rnd.uniform(4, 6.5), rnd.choice(["#ffffff", "#ffd1e6", "#fff1a8"]))
        for _ in range(7)
    )
    body = [
        spring_sky("sky", w, h),
        cloud(70, 150, 30, 0.85),
        cloud(240, 120, 22, 0.75),
        cloud(160, 200, 18, 0.6),
        meadow("grass", w, 214, h, 2, 260),
        flowers,
        ground_shadow("es", ex, 240, ew, 0.5, "#1d4a12"),
        chick("c", ex, crack - 34, 50),
        broken_egg("eb", ex, ey, ew, eh, crack, "sun", "zigzag", "bottom"),
        # The top of the shell sits on the chick's head like a cap.
        f'<g transform="translate(8 -78) rotate(-18 {ex} {crack})">'
        + broken_egg("et", ex, ey, ew, eh, crack, "sun", "zigzag", "top")
        + "</g>",
        "".join(shells),
        gold_title("t", 22, 64, 48, anchor="start"),
        speech_bubble("b", 32, 104, 196, 46, 270, 144, "Ой, меня нашли!", 18),
    ]
    return svg(w, h, "\n".join(body))


def ribbon(uid, cx, cy, w, h, text, size):
    """A red banner with folded ends and a line of white text."""
    x0, x1 = cx - w / 2, cx + w / 2
    tail = h * 0.9
    ends = (
        f'<path d="M{fmt(x0 + 10)},{fmt(cy - h / 2 + 6)} h{fmt(-tail - 10)} l{fmt(tail * 0.45)},{fmt(h / 2)} '
        f'l{fmt(-tail * 0.45)},{fmt(h / 2)} h{fmt(tail + 10)} Z" fill="#a51d1d"/>'
        f'<path d="M{fmt(x1 - 10)},{fmt(cy - h / 2 + 6)} h{fmt(tail + 10)} l{fmt(-tail * 0.45)},{fmt(h / 2)} '
        f'l{fmt(tail * 0.45)},{fmt(h / 2)} h{fmt(-tail - 10)} Z" fill="#a51d1d"/>'
        f'<path d="M{fmt(x0)},{fmt(cy + h / 2)} l10,6 v-6 Z M{fmt(x1)},{fmt(cy + h / 2)} l-10,6 v-6 Z" fill="#5e0c0c"/>'
    )
    return (
        f'<defs><linearGradient id="{uid}" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#f05050"/>'
        f'<stop offset="1" stop-color="#c42222"/></linearGradient></defs>'
        + ends
        + f'<rect x="{fmt(x0)}" y="{fmt(cy - h / 2)}" width="{fmt(w)}" height="{fmt(h)}" fill="url(#{uid})"/>'
        f'<line x1="{fmt(x0)}" y1="{fmt(cy - h / 2 + 2.5)}" x2="{fmt(x1)}" y2="{fmt(cy - h / 2 + 2.5)}" stroke="#ff9a8a" stroke-width="1" opacity="0.8"/>'
        f'<text x="{fmt(cx)}" y="{fmt(cy + size * 0.36)}" {TEXT_FONT} font-weight="bold" font-size="{fmt(size)}" fill="#fff" '
        f'text-anchor="middle" stroke="#7a1010" stroke-width="2.2" paint-order="stroke">{text}</text>'
    )


def logo_collection():
    """The second hidden picture: all the eggs together, and the chick with its shell cap."""
    w, h = 474, 317
    cx = 237
    # Outer eggs first so the nearer, larger ones overlap them.
    row = [
        (150, 58, 78, "mint", "dots", 12, 253),
        (82, 70, 93, "sky", "waves", 6, 250),
        (0, 90, 120, "sun", "zigzag", 0, 248),
    ]
    other = {"mint": "violet", "sky": "berry"}
    other_pattern = {"dots": "stripes", "waves": "diamonds"}
    # The smallest egg on the left; the chick takes the place on the right.
    eggs_svg = [ground_shadow("sy", cx - 205, 257, 48, 0.5, "#0b2a08"), egg("ey", cx - 205, 225, 48, 64, "lemon", "flower", -18)]
    for dx, ew, eh, pal, pat, ang, bottom in row:
        if dx == 0:
            eggs_svg.append(ground_shadow("s0", cx, bottom, ew, 0.55, "#0b2a08"))
            eggs_svg.append(egg("e0", cx, bottom - eh / 2, ew, eh, pal, pat))
            continue
        for side in (-1, 1):
            x = cx + side * dx
            p, q = (pal, pat) if side < 0 else (other[pal], other_pattern[pat])
            uid = f"e{dx}{'l' if side < 0 else 'r'}"
            eggs_svg.append(ground_shadow(uid + "s", x, bottom, ew, 0.5, "#0b2a08"))
            eggs_svg.append(egg(uid, x, bottom - eh / 2, ew, eh, p, q, angle=side * ang))
    rnd = random.Random(5)
    flowers = "".join(
        daisy(x, rnd.uniform(266, 280), rnd.uniform(4, 6), rnd.choice(["#ffffff", "#ffd1e6", "#fff1a8"]))
        for x in (18, 92, 150, 322, 380, 452)
    )
    body = [
        '<defs><linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#1c326e"/><stop offset="0.55" stop-color="#5d5aae"/>'
        '<stop offset="1" stop-color="#f1a66e"/></linearGradient></defs>'
        f'<rect width="{w}" height="{h}" fill="url(#sky)"/>',
        rays("ray", cx, 200, 330, 20, 0.18),
        starry(9, 16, w, 150, [(60, 4, 414, 70), (40, 70, 434, 150)]),
        meadow("grass", w, 238, h, 4, 300),
        "".join(eggs_svg),
        flowers,
        # The chick from the first picture came along, still wearing its shell.
        ground_shadow("cs", 442, 262, 40, 0.5, "#0b2a08"),
        chick("c", 442, 238, 24, wave=True),
        f'<g transform="translate(446 216) rotate(16) scale(0.32) translate(-362 -168)">'
        + broken_egg("ct", 362, 160, 124, 160, 168, "sun", "zigzag", "top")
        + "</g>",
        gold_title("t", cx, 58, 52),
        ribbon("rb", cx, 292, 250, 30, "Все пасхалки в сборе!", 16),
    ]
    return svg(w, h, "\n".join(body))


def glossy(uid, light, base, dark, cx=0.38, cy=0.3, r=0.8):
    return (
        f'<radialGradient id="{uid}" cx="{cx}" cy="{cy}" fx="{cx}" fy="{cy}" r="{r}">'
        f'<stop offset="0" stop-color="{light}"/><stop offset="0.5" stop-color="{base}"/>'
        f'<stop offset="1" stop-color="{dark}"/></radialGradient>'
    )


def about_logo():
    """The about window's logo: the icon's egg in a warm glow above the product name."""
    body = [
        # The glow dies out well inside the picture, so no edge shows when the hover variant brightens it.
        '<defs><radialGradient id="glow" cx="58" cy="50" r="54" gradientUnits="userSpaceOnUse">'
        '<stop offset="0" stop-color="#ffb347" stop-opacity="0.5"/><stop offset="0.55" stop-color="#ff8a1e" stop-opacity="0.14"/>'
        '<stop offset="0.9" stop-color="#ff8a1e" stop-opacity="0"/></radialGradient></defs>',
        '<rect width="116" height="116" fill="url(#glow)"/>',
        egg("e", 58, 50, 64, 84, "sun", "zigzag"),
        gold_title("t", 58, 109, 19.5, shadow=False, stroke="#3a1500"),
    ]
    return svg(116, 116, "\n".join(body), "#000")


def icon_web():
    """A globe with an arrow sweeping round it: the program's web site."""
    cx, cy, r = 20, 18, 14.5
    land = (
        # Made-up continents, only meant to read as land at this size.
        "M9,9 C13,6 18,7 19,10 C20,13 16,14 17,17 C18,20 14,22 12,20 C10,18 11,15 8,14 Z "
        "M22,19 C25,18 29,20 28,24 C27,28 24,31 22,29 C20,27 22,24 21,22 Z "
        "M24,6 C27,6 31,9 32,12 C29,12 27,11 25,10 Z"
    )
    body = [
        "<defs>",
        glossy("sea", "#9ad8ff", "#2f86dc", "#0c3c86"),
        glossy("land", "#b8f08a", "#4bb33a", "#1f6a1c"),
        f'<clipPath id="ball"><circle cx="{cx}" cy="{cy}" r="{r}"/></clipPath>',
        '<linearGradient id="arrow" x1="0" y1="1" x2="1" y2="0"><stop offset="0" stop-color="#ff7a1a"/>'
        '<stop offset="1" stop-color="#ffd34a"/></linearGradient>',
        "</defs>",
        f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="url(#sea)"/>',
        f'<g clip-path="url(#ball)"><path d="{land}" fill="url(#land)"/>'
        f'<g fill="none" stroke="#d8f0ff" stroke-width="0.6" opacity="0.45">'
        f'<ellipse cx="{cx}" cy="{cy}" rx="6" ry="{r}"/><line x1="{cx}" y1="3" x2="{cx}" y2="33"/>'
        f'<line x1="5" y1="{cy}" x2="35" y2="{cy}"/><ellipse cx="{cx}" cy="{cy}" rx="{r}" ry="6"/></g>'
        f'<circle cx="{cx + 4}" cy="{cy + 5}" r="{r}" fill="none" stroke="#000" stroke-width="6" opacity="0.25"/></g>',
        f'<ellipse cx="{cx - 5}" cy="{cy - 7}" rx="6" ry="3.5" fill="#fff" opacity="0.45" transform="rotate(-30 {cx - 5} {cy - 7})"/>',
        f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="none" stroke="#0a2f6a" stroke-width="1"/>',
        # The arrow: from low on the left, round the front of the globe, out to the upper right.
        '<path d="M4,27 C12,36 30,34 38,18" fill="none" stroke="#000" stroke-width="5.4" stroke-linecap="round" opacity="0.6"/>',
        '<path d="M4,27 C12,36 30,34 38,18" fill="none" stroke="url(#arrow)" stroke-width="3.4" stroke-linecap="round"/>',
        '<path d="M46,9 L41.5,23.5 L32,15.5 Z" fill="url(#arrow)" stroke="#7a3a06" stroke-width="0.8" stroke-linejoin="round"/>',
    ]
    return svg(47, 35, "\n".join(body), "#000")


def icon_mail():
    """An envelope with a little egg stamp: write to the author."""
    body = [
        "<defs>",
        '<linearGradient id="paper" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#ffffff"/>'
        '<stop offset="1" stop-color="#c9d3e3"/></linearGradient>',
        '<linearGradient id="flap" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#f4f7fc"/>'
        '<stop offset="1" stop-color="#aeb9cc"/></linearGradient>',
        "</defs>",
        '<rect x="3" y="11" width="44" height="30" rx="2.5" fill="url(#paper)" stroke="#54627a" stroke-width="1"/>',
        '<path d="M3.8,40 L20,25 M46.2,40 L30,25" stroke="#8d99ae" stroke-width="1" fill="none"/>',
        '<path d="M3.5,12 L25,29 L46.5,12" fill="url(#flap)" stroke="#54627a" stroke-width="1" stroke-linejoin="round"/>',
        # The stamp: a red-edged square with the program's egg on it.
        '<rect x="35" y="14.5" width="9" height="10" fill="#fff6e0" stroke="#d23a2a" stroke-width="1" stroke-dasharray="1.4 0.8"/>',
        egg("st", 39.5, 19.5, 5.2, 7, "sun", "zigzag", outline=False),
        # The seal on the flap's point.
        '<circle cx="25" cy="28" r="4.2" fill="#c8231c" stroke="#6e0d08" stroke-width="0.8"/>',
        '<circle cx="23.8" cy="26.8" r="1.3" fill="#ff8d80" opacity="0.8"/>',
    ]
    return svg(50, 50, "\n".join(body), "#000")


def person(uid, x, y, s, light, base, dark, rim):
    """A head-and-shoulders figure whose head centre is x, y; s scales it (1 = head radius 6)."""
    hr = 6 * s
    sh_top = y + hr * 1.25
    w = 10.5 * s
    bottom = y + hr * 1.25 + 13 * s
    bust = (
        f"M{fmt(x - w)},{fmt(bottom)} C{fmt(x - w)},{fmt(sh_top + 2 * s)} {fmt(x - w * 0.6)},{fmt(sh_top)} {fmt(x)},{fmt(sh_top)} "
        f"C{fmt(x + w * 0.6)},{fmt(sh_top)} {fmt(x + w)},{fmt(sh_top + 2 * s)} {fmt(x + w)},{fmt(bottom)} Z"
    )
    return (
        f"<defs>{glossy(uid, light, base, dark)}</defs>"
        f'<path d="{bust}" fill="url(#{uid})" stroke="{rim}" stroke-width="1"/>'
        f'<circle cx="{fmt(x)}" cy="{fmt(y)}" r="{fmt(hr)}" fill="url(#{uid})" stroke="{rim}" stroke-width="1"/>'
        f'<ellipse cx="{fmt(x - hr * 0.35)}" cy="{fmt(y - hr * 0.4)}" rx="{fmt(hr * 0.4)}" ry="{fmt(hr * 0.25)}" '
        f'fill="#fff" opacity="0.5" transform="rotate(-30 {fmt(x - hr * 0.35)} {fmt(y - hr * 0.4)})"/>'
    )


def icon_contacts():
    """Two people, one behind the other: copy the contact numbers."""
    body = [
        person("pb", 33, 10, 1.0, "#c8f5a0", "#4fb83a", "#1d6a18", "#0f3f0c"),
        person("pf", 19, 15, 1.15, "#bfe4ff", "#3a8ee6", "#0f4aa0", "#0a2d66"),
    ]
    return svg(51, 43, "\n".join(body), "#000")


def icon_forum():
    """Two people talking, a speech bubble over each: the program's forum."""
    body = [
        # Left bubble with its tail down to the left person.
        '<path d="M3,2.5 h17 a3,3 0 0 1 3,3 v7 a3,3 0 0 1 -3,3 h-8 l-4,4.5 v-4.5 h-5 a3,3 0 0 1 -3,-3 v-7 a3,3 0 0 1 3,-3 Z" '
        'fill="#fff4c2" stroke="#a27a10" stroke-width="1"/>',
        '<g fill="#a27a10"><circle cx="7" cy="9" r="1.4"/><circle cx="11.5" cy="9" r="1.4"/><circle cx="16" cy="9" r="1.4"/></g>',
        # Right bubble, lower, its tail to the right person.
        '<path d="M31,7.5 h16 a3,3 0 0 1 3,3 v6 a3,3 0 0 1 -3,3 h-3 v4.5 l-4,-4.5 h-9 a3,3 0 0 1 -3,-3 v-6 a3,3 0 0 1 3,-3 Z" '
        'fill="#d4ecff" stroke="#2f6fb0" stroke-width="1"/>',
        '<g stroke="#2f6fb0" stroke-width="1.3" stroke-linecap="round"><line x1="32" y1="11.5" x2="45" y2="11.5"/>'
        '<line x1="32" y1="15.5" x2="41" y2="15.5"/></g>',
        person("pl", 11, 28, 0.86, "#ffd9b0", "#e8762a", "#9c3c0c", "#5c2004"),
        person("pr", 41, 30.5, 0.8, "#e6d4ff", "#8a5fe0", "#4a2a9a", "#28125e"),
    ]
    return svg(52, 43, "\n".join(body), "#000")


def photo_table():
    """The hidden picture: looks like a photograph of a painted egg on a kitchen table by the window."""
    w, h = 155, 301
    edge = 162  # where the table top meets the wall
    vx, vy = 70, -260  # the planks run towards this point
    rnd = random.Random(21)

    def towards(x_bottom, y):
        # x on the line from (x_bottom, h) to the vanishing point, at height y
        t = (h - y) / (h - vy)
        return x_bottom + (vx - x_bottom) * t

    planks = []
    seams = [-140, -62, 18, 98, 178, 258, 330]
    tones = ["#9a6436", "#8a5630", "#a56d3c", "#93602f", "#7f4f2a", "#a06a3a"]
    for i in range(len(seams) - 1):
        a, b = seams[i], seams[i + 1]
        pts = [(towards(a, edge), edge), (towards(b, edge), edge), (b, h), (a, h)]
        p = " ".join(f"{fmt(x)},{fmt(y)}" for x, y in pts)
        planks.append(f'<polygon points="{p}" fill="{tones[i % len(tones)]}"/>')
        # Grain: long thin streaks along the plank.
        for _ in range(26):
            u = rnd.uniform(0.03, 0.97)
            xb = a + (b - a) * u
            wob = rnd.uniform(-3, 3)
            y0 = rnd.uniform(edge, h - 30)
            y1 = min(h, y0 + rnd.uniform(40, 140))
            colour = rnd.choice(["#5e3519", "#6f4020", "#b98150", "#c48c58", "#4f2c14"])
            x0, x1 = towards(xb, y0), towards(xb + wob, y1)
            mx = (x0 + x1) / 2 + rnd.uniform(-1.5, 1.5)
            planks.append(
                f'<path d="M{fmt(x0)},{fmt(y0)} Q{fmt(mx)},{fmt((y0 + y1) / 2)} {fmt(x1)},{fmt(y1)}" fill="none" '
                f'stroke="{colour}" stroke-width="{fmt(rnd.uniform(0.3, 1.1) * (0.4 + (y0 - edge) / (h - edge)))}" '
                f'opacity="{fmt(rnd.uniform(0.3, 0.7))}"/>'
            )
        planks.append(
            f'<line x1="{fmt(towards(a, edge))}" y1="{edge}" x2="{a}" y2="{h}" stroke="#3a200c" stroke-width="1.2" opacity="0.8"/>'
        )
    body = [
        "<defs>",
        '<linearGradient id="wall" x1="0" y1="0" x2="1" y2="0.4"><stop offset="0" stop-color="#efe2cc"/>'
        '<stop offset="0.6" stop-color="#b9a58a"/><stop offset="1" stop-color="#7d6c58"/></linearGradient>',
        '<filter id="far" x="-20%" y="-20%" width="140%" height="140%"><feGaussianBlur stdDeviation="5"/></filter>',
        '<filter id="mid" x="-20%" y="-20%" width="140%" height="140%"><feGaussianBlur stdDeviation="2.2"/></filter>',
        '<filter id="soft" x="-50%" y="-50%" width="200%" height="200%"><feGaussianBlur stdDeviation="6"/></filter>',
        '<filter id="touch" x="-50%" y="-50%" width="200%" height="200%"><feGaussianBlur stdDeviation="1.6"/></filter>',
        '<filter id="lens"><feGaussianBlur stdDeviation="0.35"/></filter>',
        # Real dye is less bright than the icon's paint.
        '<filter id="paint"><feColorMatrix type="saturate" values="0.8"/><feGaussianBlur stdDeviation="0.3"/></filter>',
        f'<linearGradient id="depth" x1="0" y1="{edge}" x2="0" y2="{h}" gradientUnits="userSpaceOnUse">'
        '<stop offset="0" stop-color="#2a1606" stop-opacity="0.55"/><stop offset="0.5" stop-color="#2a1606" stop-opacity="0.1"/>'
        '<stop offset="1" stop-color="#000" stop-opacity="0.35"/></linearGradient>',
        '<radialGradient id="sheen" cx="0.3" cy="0.62" r="0.5"><stop offset="0" stop-color="#fff4dc" stop-opacity="0.45"/>'
        '<stop offset="1" stop-color="#fff4dc" stop-opacity="0"/></radialGradient>',
        '<radialGradient id="vignette" cx="0.45" cy="0.55" r="0.75"><stop offset="0.5" stop-color="#000" stop-opacity="0"/>'
        '<stop offset="1" stop-color="#000" stop-opacity="0.65"/></radialGradient>',
        '<radialGradient id="warm" cx="0" cy="0.15" r="1.1"><stop offset="0" stop-color="#ffcf7a" stop-opacity="0.35"/>'
        '<stop offset="0.6" stop-color="#ff9d3a" stop-opacity="0.12"/><stop offset="1" stop-color="#3a2a6a" stop-opacity="0.15"/>'
        "</radialGradient>",
        "</defs>",
        # The wall, out of focus: window light on the left, a pot plant on the right.
        # The same wall unblurred underneath, so the blur's fading edges at the picture's border show wall, not black.
        f'<rect width="{w}" height="{edge + 10}" fill="url(#wall)"/>'
        f'<g filter="url(#far)"><rect x="-20" y="-20" width="{w + 40}" height="{edge + 30}" fill="url(#wall)"/>'
        '<rect x="-30" y="-10" width="70" height="120" fill="#fffaf0" opacity="0.85"/>'
        '<rect x="-30" y="48" width="70" height="5" fill="#c8b79c" opacity="0.8"/>'
        '<rect x="12" y="-10" width="5" height="120" fill="#c8b79c" opacity="0.8"/>'
        '<g fill="#4f7a3a"><ellipse cx="136" cy="100" rx="22" ry="30"/><ellipse cx="118" cy="110" rx="12" ry="20" fill="#6b9a4a"/>'
        '<ellipse cx="150" cy="80" rx="12" ry="22" fill="#3d6530"/></g>'
        '<path d="M116,132 h40 l-5,32 h-30 Z" fill="#b65a3a"/></g>',
        # The table.
        f'<g filter="url(#lens)">{"".join(planks)}</g>',
        f'<rect x="0" y="{edge}" width="{w}" height="{h - edge}" fill="url(#depth)"/>',
        f'<rect x="0" y="{edge}" width="{w}" height="{h - edge}" fill="url(#sheen)"/>',
        f'<rect x="0" y="{edge - 1}" width="{w}" height="2.5" fill="#3a220e" opacity="0.6" filter="url(#lens)"/>',
        # A dyed egg further back, out of focus.
        f'<g filter="url(#mid)">{ground_shadow("bs", 122, 194, 40, 0.8, "#1a0c02")}'
        f'{egg("bk", 120, 181, 32, 42, "berry", "none", angle=72, outline=False, shine=0.5)}</g>',
        # The painted egg in focus: a long soft shadow away from the window and a dark touch point.
        '<ellipse cx="108" cy="266" rx="48" ry="11" fill="#1a0c02" opacity="0.5" filter="url(#soft)" transform="rotate(14 108 266)"/>',
        '<ellipse cx="80" cy="262" rx="27" ry="5.5" fill="#1a0c02" opacity="0.65" filter="url(#touch)"/>',
        f'<g filter="url(#paint)">{egg("e", 76, 216, 72, 94, "sun", "zigzag", angle=-6, outline=False, shine=0.9)}</g>',
        # Window light caught on the shell's edge.
        '<path d="M49,190 q-7,20 2,42" fill="none" stroke="#fff6e0" stroke-width="2" opacity="0.35" filter="url(#touch)"/>',
        # Warm afternoon light from the window over the whole scene.
        f'<rect width="{w}" height="{h}" fill="url(#warm)"/>',
        f'<rect width="{w}" height="{h}" fill="url(#vignette)"/>',
    ]
    return svg(w, h, "\n".join(body))


# File name: size in pixels and the drawing. Where each is shown:
PICTURES = {
    "splash-front.png": (400, 200, splash_front),  # frmLogo's Image1, what the user sees
    "splash-back.png": (400, 200, splash_back),  # frmLogo's own background, under Image1
    "logo-hatched.png": (475, 257, logo_hatched),  # frmLogo2
    "logo-collection.png": (474, 317, logo_collection),  # frmLogo3
    "photo-egg.png": (155, 301, photo_table),  # the top of the xyu window
    "about-logo.png": (116, 116, about_logo),  # frmAbout's Image1 (hover: about-logo-hover.png)
    "about-web.png": (47, 35, icon_web),  # cmdWeb
    "about-mail.png": (50, 50, icon_mail),  # Image2
    "about-contacts.png": (51, 43, icon_contacts),  # Image3
    "about-forum.png": (52, 43, icon_forum),  # Image4
}


# The about window's pictures also get a hover variant: the same drawing, brighter and with a soft glow. Gamma
# lifts the colours without washing the light parts out to white, and keeps the black background black.
HOVER = {"about-logo.png", "about-web.png", "about-mail.png", "about-contacts.png", "about-forum.png"}


def hover_variant(name):
    src = os.path.join(OUT, name)
    dst = os.path.join(OUT, name.replace(".png", "-hover.png"))
    subprocess.run(
        [
            "convert", src, "-gamma", "1.45", "-modulate", "100,112",
            "(", "+clone", "-blur", "0x2.5", "-evaluate", "multiply", "0.7", ")",
            "-compose", "screen", "-composite",
            "-depth", "8", "-strip", "-define", "png:exclude-chunks=date,time", "PNG24:" + dst,
        ],
        check=True,
    )
    return dst


# Film grain, made from seeded noise so that it is the same on every run.
PHOTO_FINISH = [
    "(", "-size", "155x301", "xc:gray50", "-seed", "1957", "-attenuate", "0.45", "+noise", "Gaussian",
    "-colorspace", "gray", "-blur", "0x0.4", ")",
    "-compose", "soft-light", "-composite",
]
FINISH = {"photo-egg.png": PHOTO_FINISH}


def render(name, width, height, make, work, background="#000000"):
    src = os.path.join(work, name + ".svg")
    raw = os.path.join(work, name)
    with open(src, "w", encoding="utf-8") as f:
        f.write(make())
    subprocess.run(["rsvg-convert", "--width", str(width), "--height", str(height), "-o", raw, src], check=True)
    # 24-bit colour, no alpha, no dates or comments: the same drawing gives the same bytes.
    subprocess.run(
        [
            "convert", raw, "-background", background, "-alpha", "remove", "-alpha", "off",
            *FINISH.get(name, []),
            "-depth", "8", "-strip", "-define", "png:exclude-chunks=date,time",
            "PNG24:" + os.path.join(OUT, name),
        ],
        check=True,
    )


def main():
    for tool in ("rsvg-convert", "convert"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is missing: apt-get install librsvg2-bin imagemagick")
    only = set(sys.argv[1:])
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for name, (width, height, make) in PICTURES.items():
            if only and name not in only:
                continue
            render(name, width, height, make, work)
            print("wrote", os.path.join(OUT, name))
            if name in HOVER:
                print("wrote", hover_variant(name))


if __name__ == "__main__":
    main()
