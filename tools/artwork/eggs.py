"""Drawing pieces shared by the pictures: painted eggs, lettering and a few small shapes, as SVG text.

Every piece returns SVG markup; ids are made unique by the caller's prefix so one picture can hold many eggs.
"""

import math

# Colours of a painted egg: shell gradient (light, base, dark), outline, band and its edge, dots.
PALETTES = {
    # The program icon's egg: warm orange, blue zigzag band, green dots.
    "sun": ("#fff1b8", "#f29143", "#d9541a", "#7a2e08", "#2c6fd6", "#1b4a9a", "#3fae49"),
    "sky": ("#e6f6ff", "#5eaaea", "#1f5fb2", "#133a70", "#f7c531", "#b07d0a", "#ffffff"),
    "mint": ("#f2ffe4", "#7fcf78", "#2e8c3a", "#1b5322", "#e2447a", "#9c1f4c", "#fff3a0"),
    "berry": ("#ffe3f1", "#e8679f", "#a8275f", "#631034", "#ffe14d", "#b8920c", "#63c6ff"),
    "violet": ("#f1e8ff", "#9d7de2", "#5b40aa", "#33206a", "#7fe3c3", "#2f9a7a", "#ffd24d"),
    "lemon": ("#fffce4", "#f5d84a", "#cf9f12", "#6e5006", "#e8533a", "#9e2a17", "#3a8fd9"),
    "plain": ("#fffaf2", "#f1e4cf", "#c9ae8a", "#8a6a44", None, None, None),
}


def fmt(v):
    return f"{v:.2f}".rstrip("0").rstrip(".")


def egg_points(cx, cy, w, h, n=48):
    """Outline of an egg, narrower at the top, fitting a w x h box centred on cx, cy."""
    k = 0.16
    raw = []
    for i in range(n):
        t = 2 * math.pi * i / n
        raw.append((math.sin(t) * (1 - k * math.cos(t)), -math.cos(t)))
    widest = max(abs(x) for x, _ in raw)
    return [(cx + x / widest * w / 2, cy + y * h / 2) for x, y in raw]


def smooth_path(points, closed=True):
    """A closed Catmull-Rom curve through the points, written as cubic Beziers."""
    n = len(points)
    p = points
    d = [f"M{fmt(p[0][0])},{fmt(p[0][1])}"]
    last = n if closed else n - 1
    for i in range(last):
        p0 = p[(i - 1) % n] if closed or i > 0 else p[i]
        p1, p2 = p[i], p[(i + 1) % n]
        p3 = p[(i + 2) % n] if closed or i + 2 < n else p2
        c1 = (p1[0] + (p2[0] - p0[0]) / 6, p1[1] + (p2[1] - p0[1]) / 6)
        c2 = (p2[0] - (p3[0] - p1[0]) / 6, p2[1] - (p3[1] - p1[1]) / 6)
        d.append(f"C{fmt(c1[0])},{fmt(c1[1])} {fmt(c2[0])},{fmt(c2[1])} {fmt(p2[0])},{fmt(p2[1])}")
    if closed:
        d.append("Z")
    return " ".join(d)


def egg_path(cx, cy, w, h):
    return smooth_path(egg_points(cx, cy, w, h))


def _pattern(kind, cx, cy, w, h, pal):
    """Painted decoration in the egg's own box; clipped to the shell by the caller."""
    band, edge, dot = pal[4], pal[5], pal[6]
    if band is None or kind == "none":
        return ""
    sx, sy = w / 2, h / 2

    def P(u, v):
        return f"{fmt(cx + u * sx)},{fmt(cy + v * sy)}"

    sw = fmt(max(0.6, w * 0.014))
    out = []
    if kind == "zigzag":
        # As on the icon: a zigzag band across the middle, three dots below, two above.
        top, bot = [], []
        n = 8
        for i in range(n + 1):
            u = -1.3 + 2.6 * i / n
            top.append(P(u, -0.34 if i % 2 else -0.14))
            bot.append(P(u, -0.09 if i % 2 else 0.12))
        pts = top + bot[::-1]
        out.append(f'<polygon points="{" ".join(pts)}" fill="{band}" stroke="{edge}" stroke-width="{sw}"/>')
        r = 0.11 * sx
        for u, v in ((-0.41, 0.51), (0, 0.59), (0.41, 0.51)):
            out.append(f'<circle cx="{P(u, v).split(",")[0]}" cy="{P(u, v).split(",")[1]}" r="{fmt(r)}" fill="{dot}"/>')
        for u in (-0.3, 0.3):
            x, y = P(u, -0.64).split(",")
            out.append(f'<circle cx="{x}" cy="{y}" r="{fmt(r * 0.8)}" fill="{dot}"/>')
    elif kind == "waves":
        # Two wavy ribbons with a row of dots between them.
        for v0 in (-0.38, 0.22):
            top, bot = [], []
            for i in range(25):
                u = -1.2 + 2.4 * i / 24
                dv = 0.06 * math.sin(u * 7)
                top.append(P(u, v0 + dv))
                bot.append(P(u, v0 + 0.16 + dv))
            pts = top + bot[::-1]
            out.append(f'<polygon points="{" ".join(pts)}" fill="{band}" stroke="{edge}" stroke-width="{sw}"/>')
        for i in range(5):
            x, y = P(-0.8 + 0.4 * i, -0.04).split(",")
            out.append(f'<circle cx="{x}" cy="{y}" r="{fmt(0.08 * sx)}" fill="{dot}"/>')
    elif kind == "dots":
        # Polka dots in staggered rows.
        for row in range(-4, 5):
            v = row * 0.22
            for col in range(-3, 4):
                u = col * 0.42 + (0.21 if row % 2 else 0)
                x, y = P(u, v).split(",")
                colour = band if (row + col) % 2 else dot
                out.append(f'<circle cx="{x}" cy="{y}" r="{fmt(0.1 * sx)}" fill="{colour}"/>')
    elif kind == "diamonds":
        # A band of diamonds between two thin stripes.
        for v in (-0.3, 0.18):
            a, b = P(-1.2, v), P(1.2, v + 0.05)
            (x1, y1), (x2, y2) = a.split(","), b.split(",")
            out.append(
                f'<rect x="{x1}" y="{y1}" width="{fmt(float(x2) - float(x1))}" height="{fmt(float(y2) - float(y1))}" fill="{edge}"/>'
            )
        for i in range(-3, 4):
            u = i * 0.36
            pts = [P(u, -0.22), P(u + 0.17, -0.06), P(u, 0.1), P(u - 0.17, -0.06)]
            colour = band if i % 2 else dot
            out.append(f'<polygon points="{" ".join(pts)}" fill="{colour}" stroke="{edge}" stroke-width="{sw}"/>')
        for u in (-0.45, 0, 0.45):
            x, y = P(u, 0.55).split(",")
            out.append(f'<circle cx="{x}" cy="{y}" r="{fmt(0.09 * sx)}" fill="{band}"/>')
    elif kind == "stripes":
        # Broad horizontal stripes in the band colour and the dot colour.
        for i, v in enumerate((-0.62, -0.3, 0.02, 0.34, 0.66)):
            colour = band if i % 2 == 0 else dot
            a, b = P(-1.2, v), P(1.2, v + 0.14)
            (x1, y1), (x2, y2) = a.split(","), b.split(",")
            out.append(
                f'<rect x="{x1}" y="{y1}" width="{fmt(float(x2) - float(x1))}" height="{fmt(float(y2) - float(y1))}" fill="{colour}"/>'
            )
    elif kind == "flower":
        # A simple daisy in the middle with leaves.
        x, y = (float(c) for c in P(0, 0.05).split(","))
        r = 0.22 * sx
        for i in range(8):
            a = i * 45
            out.append(
                f'<ellipse cx="{fmt(x)}" cy="{fmt(y - r)}" rx="{fmt(r * 0.45)}" ry="{fmt(r * 0.9)}" fill="{dot}" '
                f'stroke="{edge}" stroke-width="{sw}" transform="rotate({a} {fmt(x)} {fmt(y)})"/>'
            )
        out.append(f'<circle cx="{fmt(x)}" cy="{fmt(y)}" r="{fmt(r * 0.55)}" fill="{band}" stroke="{edge}" stroke-width="{sw}"/>')
        for v in (-0.62, 0.7):
            a, b = P(-1.2, v), P(1.2, v + 0.07)
            (x1, y1), (x2, y2) = a.split(","), b.split(",")
            out.append(
                f'<rect x="{x1}" y="{y1}" width="{fmt(float(x2) - float(x1))}" height="{fmt(float(y2) - float(y1))}" fill="{band}"/>'
            )
    return "\n".join(out)


def egg(uid, cx, cy, w, h, palette="sun", pattern="zigzag", angle=0, outline=True, shine=1.0, light=(-0.35, -0.45)):
    """A painted egg centred on cx, cy, w x h, turned by angle degrees, lit from the upper left."""
    pal = PALETTES[palette]
    light_c, base, dark, line = pal[0], pal[1], pal[2], pal[3]
    d = egg_path(cx, cy, w, h)
    fx, fy = 0.5 + light[0] * 0.5, 0.5 + light[1] * 0.5
    sw = max(0.8, w * 0.03)
    parts = [
        "<defs>",
        f'<clipPath id="{uid}c"><path d="{d}"/></clipPath>',
        f'<radialGradient id="{uid}g" cx="{fmt(fx)}" cy="{fmt(fy)}" fx="{fmt(fx)}" fy="{fmt(fy)}" r="0.85">'
        f'<stop offset="0" stop-color="{light_c}"/><stop offset="0.5" stop-color="{base}"/>'
        f'<stop offset="1" stop-color="{dark}"/></radialGradient>',
        # Shade over the paint too, so the band and the dots look wrapped round the shell.
        f'<radialGradient id="{uid}s" cx="{fmt(fx)}" cy="{fmt(fy)}" fx="{fmt(fx)}" fy="{fmt(fy)}" r="0.9">'
        f'<stop offset="0.45" stop-color="#000" stop-opacity="0"/>'
        f'<stop offset="1" stop-color="#000" stop-opacity="0.38"/></radialGradient>',
        f'<radialGradient id="{uid}h"><stop offset="0" stop-color="#fff" stop-opacity="0.85"/>'
        f'<stop offset="1" stop-color="#fff" stop-opacity="0"/></radialGradient>',
        "</defs>",
        f'<g transform="rotate({fmt(angle)} {fmt(cx)} {fmt(cy)})">',
        f'<path d="{d}" fill="url(#{uid}g)"/>',
        f'<g clip-path="url(#{uid}c)">',
        _pattern(pattern, cx, cy, w, h, pal),
        f'<path d="{d}" fill="url(#{uid}s)"/>',
        f'<ellipse cx="{fmt(cx - w * 0.2)}" cy="{fmt(cy - h * 0.26)}" rx="{fmt(w * 0.14)}" ry="{fmt(h * 0.16)}" '
        f'fill="url(#{uid}h)" opacity="{fmt(shine)}" transform="rotate(-18 {fmt(cx - w * 0.2)} {fmt(cy - h * 0.26)})"/>',
        "</g>",
    ]
    if outline:
        parts.append(f'<path d="{d}" fill="none" stroke="{line}" stroke-width="{fmt(sw)}"/>')
    parts.append("</g>")
    return "\n".join(parts)


def ground_shadow(uid, cx, y, w, opacity=0.45, colour="#000"):
    """A soft shadow on the ground under an egg whose bottom touches y."""
    return (
        f'<defs><radialGradient id="{uid}"><stop offset="0" stop-color="{colour}" stop-opacity="{opacity}"/>'
        f'<stop offset="1" stop-color="{colour}" stop-opacity="0"/></radialGradient></defs>'
        f'<ellipse cx="{fmt(cx)}" cy="{fmt(y)}" rx="{fmt(w * 0.62)}" ry="{fmt(w * 0.16)}" fill="url(#{uid})"/>'
    )


def svg(width, height, body, background=None):
    bg = f'<rect width="{width}" height="{height}" fill="{background}"/>' if background else ""
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
        f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">{bg}{body}</svg>\n'
    )
