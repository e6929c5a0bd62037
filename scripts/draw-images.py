#!/usr/bin/env python3
"""Draws Sorvane's pictures and icons into resources/.

The outputs are committed; run this again only to change a picture. It writes
ImageMagick drawing scripts (MVG) and lets `convert` render and reduce them to
the colour depth each picture needs. Random choices come from fixed seeds, so a
re-run gives the same pictures.

Needs python3 and imagemagick.
"""

import math
import os
import random
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
RES = os.path.join(ROOT, "resources")


def run(*args):
    subprocess.run(["convert", *args], check=True)


def render(mvg, size, out, extra=(), canvas="none"):
    """Renders an MVG drawing on a canvas of `size` (w, h) and writes `out`.

    The drawing goes on the command line: Debian's ImageMagick policy refuses
    "@file" arguments. Long drawings are split into chunks that each start from
    the drawing's first line (its settings), as one argument may not exceed 128 KiB.
    """
    w, h = size
    head, *body = mvg.split("\n")
    chunks, current = [], [head]
    for line in body:
        if sum(len(x) + 1 for x in current) + len(line) > 100_000:
            chunks.append(current)
            current = [head]
        current.append(line)
    chunks.append(current)
    draws = []
    for chunk in chunks:
        draws += ["-draw", "\n".join(chunk)]
    run("-size", f"{w}x{h}", f"xc:{canvas}", *draws, *extra, out)


def poly(points):
    return "polygon " + " ".join(f"{x:.3f},{y:.3f}" for x, y in points)


def rrect(x0, y0, x1, y1, r):
    return f"roundrectangle {x0:.3f},{y0:.3f} {x1:.3f},{y1:.3f} {r:.3f},{r:.3f}"


def indexed(colours, alpha_cut=True):
    """convert options that reduce a picture to a palette of `colours` entries.

    Icons of that depth have an on/off mask, so alpha is cut at one half first;
    write to a "PNG8:" name so the palette keeps its transparent entry.
    """
    opts = []
    if alpha_cut:
        opts += ["-channel", "A", "-threshold", "50%", "+channel"]
    bits = 4 if colours <= 16 else 8
    opts += ["+dither", "-colors", str(colours - (1 if alpha_cut else 0)),
             "-define", f"png:bit-depth={bits}"]
    return opts


# --- Backdrop: dark blue handmade-paper fibres -------------------------------

def backdrop(out):
    w, h = 397, 255
    rnd = random.Random(1958)
    lines = ["stroke-linecap round fill none"]
    # Long pale fibres first, then many short dark and light ones over them, as
    # pulp settles; each is a gently bent cubic curve.
    layers = [
        (300, (30, 110), (0.6, 1.6), ["#1f3b80", "#26438a", "#1a3370"], (0.25, 0.45)),
        (1400, (8, 45), (0.4, 1.1), ["#050c26", "#081336", "#07102e"], (0.3, 0.6)),
        (900, (10, 55), (0.4, 1.0), ["#2c4c99", "#3558a6", "#254490"], (0.12, 0.3)),
        (60, (20, 80), (0.4, 0.8), ["#6f8cc8", "#8299cf"], (0.1, 0.2)),
    ]
    for count, (lmin, lmax), (wmin, wmax), colours, (omin, omax) in layers:
        for _ in range(count):
            x, y = rnd.uniform(-40, w + 40), rnd.uniform(-40, h + 40)
            length = rnd.uniform(lmin, lmax)
            # Fibres lie a little more often along the sheet than across it.
            angle = rnd.gauss(0, 0.9) if rnd.random() < 0.6 else rnd.uniform(0, math.pi)
            bend1, bend2 = rnd.gauss(0, 0.5), rnd.gauss(0, 0.5)
            x3, y3 = x + length * math.cos(angle), y + length * math.sin(angle)
            a1, a2 = angle + bend1, angle + math.pi + bend2
            x1, y1 = x + length / 3 * math.cos(a1), y + length / 3 * math.sin(a1)
            x2, y2 = x3 + length / 3 * math.cos(a2), y3 + length / 3 * math.sin(a2)
            lines.append(f"stroke {rnd.choice(colours)} stroke-opacity {rnd.uniform(omin, omax):.2f}"
                         f" stroke-width {rnd.uniform(wmin, wmax):.2f}")
            lines.append(f"path 'M {x:.1f},{y:.1f} C {x1:.1f},{y1:.1f} {x2:.1f},{y2:.1f}"
                         f" {x3:.1f},{y3:.1f}'")
    # A few darker flecks of unbroken pulp.
    lines.append("stroke none")
    for _ in range(50):
        x, y, r = rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(0.4, 1.0)
        lines.append(f"fill #040a22 fill-opacity {rnd.uniform(0.2, 0.45):.2f}")
        lines.append(f"circle {x:.1f},{y:.1f} {x + r:.1f},{y:.1f}")
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "base.png")
        # Uneven pulp: soft, large blotches of a slightly lighter and darker navy.
        run("-size", f"{w}x{h}", "xc:gray50", "-seed", "1958", "+noise", "Random",
            "-colorspace", "gray", "-blur", "0x14", "-auto-level",
            "-level", "0%,100%,1.0", "(", "-size", "1x2", "gradient:#15296a-#0a163f", ")",
            "-clut", base)
        fibres = os.path.join(tmp, "fibres.png")
        render("\n".join(lines), (w, h), fibres)
        run(base, fibres, "-compose", "over", "-composite",
            "-dither", "FloydSteinberg", "-colors", "16", "+repage", out)


# --- Floppy disk: the main window's icon ---------------------------------------

def floppy_mvg(n, tilt=-14.0):
    """A 3.5-inch disk, drawn in a 100 x 100 design space, turned by `tilt`."""
    detail = n >= 48
    s = n / 100.0
    # Shrunk a little so the turned corners stay inside the canvas.
    d = [f"viewbox 0 0 {n} {n}", f"translate {n / 2:.3f},{n / 2:.3f}", f"rotate {tilt}",
         f"scale {s * 0.92:.5f},{s * 0.92:.5f}", "translate -51,-50", "stroke-linejoin round"]
    edge = max(1.0 / s, 1.2) if n < 48 else 1.6
    # Body with its cut corner at the top right.
    body = [(12, 10), (82, 10), (90, 18), (90, 90), (12, 90)]
    d += [f"stroke #101828 stroke-width {edge:.2f} fill #23396e", poly(body)]
    if detail:
        d += ["stroke none fill #2f4a8a", poly([(15, 13), (81, 13), (87, 19), (87, 24), (15, 24)])]
    # Metal shutter with its window.
    d += [f"stroke #4a5260 stroke-width {edge * 0.6:.2f} fill #c4ccd6", poly([(28, 10), (72, 10), (72, 38), (28, 38)])]
    d += ["stroke none fill #e8edf2", poly([(30, 12), (36, 12), (36, 36), (30, 36)])] if detail else []
    d += ["stroke none fill #1a2030", poly([(54, 14), (66, 14), (66, 34), (54, 34)])]
    # Paper label with ruled lines and a red title stripe.
    d += [f"stroke #4a5260 stroke-width {edge * 0.6:.2f} fill #f4f1e6", poly([(20, 48), (82, 48), (82, 90), (20, 90)])]
    d += ["stroke none fill #d8262b", poly([(20, 48), (82, 48), (82, 56), (20, 56)])]
    rules = [64, 72, 80] if detail else ([66, 78] if n >= 24 else [70])
    lw = 1.6 if detail else max(1.0 / s, 2.0)
    for y in rules:
        d += [f"stroke #3e5fa8 stroke-width {lw:.2f} fill none", f"line 26,{y} 76,{y}"]
    if detail:
        # Write-protect notch and a soft sheen along the left edge.
        d += ["stroke none fill #0c1222", poly([(15, 80), (20, 80), (20, 86), (15, 86)])]
        d += ["stroke none fill white fill-opacity 0.16", poly([(12, 10), (18, 10), (18, 90), (12, 90)])]
    return "\n".join(d)


def floppy(out_main, icon_dir):
    render(floppy_mvg(32), (32, 32), "PNG8:" + out_main, indexed(16))
    for n in (16, 32, 48, 256):
        folder = os.path.join(icon_dir, f"{n}x{n}", "apps")
        os.makedirs(folder, exist_ok=True)
        render(floppy_mvg(n), (n, n), os.path.join(folder, "sorvane.png"), ["-strip", "-depth", "8"])


# --- Results window: a ledger sheet with a pH drop -----------------------------

def results_mvg(n):
    """Drawn in pixels: the ruled lines sit on whole pixels so they stay sharp."""
    k = n / 16.0
    c = lambda v: float(math.floor(v * k))  # ImageMagick puts pixel centres on whole numbers
    d = [f"viewbox 0 0 {n} {n}", "stroke-linejoin miter"]
    # The ledger: a cream sheet with a green header band and ruled rows.
    x0, y0, x1, y1 = c(0.5), c(0.5), c(12.2), c(15.2)
    d += ["stroke #3a3a30 stroke-width 1 fill #fbf6df", f"rectangle {x0},{y0} {x1},{y1}"]
    d += ["stroke none fill #2e8b57", f"rectangle {x0 + 0.5},{y0 + 0.5} {x1 - 0.5},{c(3.4) - 0.5}"]
    rows = [5.5, 8, 10.5, 13] if n >= 32 else [6, 9, 12]
    for y in rows:
        d += ["stroke #7f9cc9 stroke-width 1 fill none", f"line {x0 + 1},{c(y)} {x1 - 1},{c(y)}"]
    d += ["stroke #c0504d", f"line {c(4)},{c(3.4)} {c(4)},{y1 - 0.5}"]
    if n >= 32:
        # Entries written in the first rows.
        for y, end in zip(rows[:-1], (9, 10.5, 8)):
            d += ["stroke #444444", f"line {c(5)},{c(y) - 2} {c(end)},{c(y) - 2}"]
    # The drop: a blue water drop leaning on the sheet's corner.
    cx, cy, r = 11.6 * k, 11.8 * k, 3.9 * k
    pts = []
    for i in range(0, 361, 6):
        t = math.radians(i)
        # Round at the bottom, drawn out to a point at the top.
        x = cx + r * math.sin(t) * (1 - 0.5 * (1 + math.cos(t)) / 2) ** 1.2
        y = cy - r * math.cos(t) * (1.6 if math.cos(t) > 0 else 1.0)
        pts.append((x, y))
    d += [f"stroke #0b3d7a stroke-width {max(1.0, n / 32):.2f} fill #2a7fd6", poly(pts)]
    # The sheen sits higher when the drop carries its label.
    hy = cy - r * (0.85 if n >= 48 else 0.15)
    d += ["stroke none fill #9fd0ff", f"ellipse {cx - r * 0.4:.2f},{hy:.2f}"
          f" {r * 0.14:.2f},{r * 0.3:.2f} 0,360"]
    if n >= 48:
        d += ["stroke none fill white", "font DejaVu-Sans-Bold", "font-size 10",
              f"text {cx - r * 0.62:.1f},{cy + r * 0.5:.1f} 'pH'"]
    return "\n".join(d)


def results(out_pattern):
    for n in (16, 32, 48):
        render(results_mvg(n), (n, n), "PNG8:" + out_pattern.format(n=n), indexed(256))


# --- About box: a window with a caption bar and a grid of cells ----------------

def about_mvg(n):
    """Drawn pixel by pixel at 32 x 32, like a classic 16-colour icon."""
    d = [f"viewbox 0 0 {n} {n}", "stroke-antialias 0", "stroke none"]
    # Raised grey frame.
    d += ["fill #c0c0c0", "rectangle 1,3 30,28"]
    d += ["fill white", "rectangle 1,3 29,3", "rectangle 1,3 1,27"]
    d += ["fill #404040", "rectangle 1,28 30,28", "rectangle 30,3 30,28"]
    d += ["fill #808080", "rectangle 2,27 29,27", "rectangle 29,4 29,27"]
    # Caption bar: a title stub and the three caption buttons.
    d += ["fill #000080", "rectangle 3,5 27,10", "fill white", "rectangle 5,7 13,8"]
    for x in (18, 21, 24):
        d += ["fill #c0c0c0", f"rectangle {x},6 {x + 2},9", "fill #404040", f"rectangle {x + 2},7 {x + 2},9"]
    # The client area: a grid of cells with a grey header row and column.
    d += ["fill white", "rectangle 3,12 27,26", "fill #c0c0c0", "rectangle 3,12 27,14",
          "rectangle 3,12 6,26"]
    d += ["fill #808080"]
    for x in (7, 14, 21):
        d.append(f"rectangle {x},12 {x},26")
    for y in (15, 19, 23):
        d.append(f"rectangle 3,{y} 27,{y}")
    d += ["fill #ffff00", "rectangle 8,16 13,18", "fill #00c000", "rectangle 15,20 20,22",
          "fill #0000ff", "rectangle 22,16 27,18", "fill #ff0000", "rectangle 8,24 13,26"]
    return "\n".join(d)


def about(out):
    render(about_mvg(32), (32, 32), "PNG8:" + out, indexed(16))


def main():
    which = set(sys.argv[1:]) or {"backdrop", "floppy", "results", "about"}
    if "backdrop" in which:
        backdrop(os.path.join(RES, "backdrop.gif"))
    if "floppy" in which:
        floppy(os.path.join(RES, "floppy.png"), os.path.join(RES, "icons", "hicolor"))
    if "results" in which:
        results(os.path.join(RES, "results-{n}.png"))
    if "about" in which:
        about(os.path.join(RES, "about.png"))


if __name__ == "__main__":
    main()
