#!/usr/bin/env python3
"""Draws the wizard's two pictures with ImageMagick and the DejaVu Sans fonts.

    python3 res/art/draw.py        (from anywhere; writes res/side.bmp, res/logo.bmp)

side.bmp (bitmap 131) is the picture at the left of the wizard's pages and in
the About box: 117 x 197 pixels, which is 78 x 121 dialog units at Tahoma 8,
the smallest frame it is shown in. logo.bmp (bitmap 132) is the About box's
logo, 227 x 73 pixels (151 x 45 dialog units). Both are written as plain
24-bit BMP files, the form the resource compiler and every Windows version
take. The static control that shows a picture draws a one-pixel sunken edge
over its outer pixels, so nothing that matters sits at an edge.
"""
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)
FONTS = "/usr/share/fonts/truetype/dejavu"   # Debian package fonts-dejavu-core
SANS = os.path.join(FONTS, "DejaVuSans.ttf")
SANS_BOLD = os.path.join(FONTS, "DejaVuSans-Bold.ttf")

NAVY = "#17324d"
TEAL = "#2b7a78"
MIST = "#dfe9ee"


def wave(width, centre, amplitude, cycles, phase, step=1.0):
    """A sine wave across the picture as an MVG polyline."""
    points = []
    x = -2.0
    while x <= width + 2:
        y = centre + amplitude * math.sin(2 * math.pi * cycles * x / width + phase)
        # Quiet at the edges, full in the middle: a tone that swells and fades.
        y = centre + (y - centre) * math.sin(math.pi * max(0.0, min(1.0, x / width)))
        points.append("%.2f,%.2f" % (x, y))
        x += step
    return "polyline " + " ".join(points)


def mark(cx, cy, r, ring, arcs, colour, dot):
    """The product's mark: a ring with a centre dot and two arcs of sound."""
    mvg = [
        "stroke-linecap round stroke-linejoin round",
        "fill none stroke %s stroke-width %.2f" % (colour, ring),
        "circle %.2f,%.2f %.2f,%.2f" % (cx, cy, cx + r, cy),
        "fill %s stroke none" % dot,
        "circle %.2f,%.2f %.2f,%.2f" % (cx, cy, cx + r * 0.32, cy),
        "fill none stroke %s" % colour,
    ]
    for i, width in enumerate(arcs):
        radius = r * (1.65 + 0.5 * i)
        points = ["%.2f,%.2f" % (cx + radius * math.cos(math.radians(a)), cy + radius * math.sin(math.radians(a)))
                  for a in range(-40, 41, 4)]
        mvg.append("stroke-width %.2f" % width)
        mvg.append("polyline " + " ".join(points))
    return mvg


def run(args):
    subprocess.run(["convert"] + args, check=True)


def side(path):
    width, height = 117, 197
    # Round ends: ImageMagick 6 draws a stray sliver at a butt-ended polyline's end.
    mvg = ["stroke-linecap round stroke-linejoin round"]
    waves = [  # centre, amplitude, cycles, phase, stroke width, opacity
        (128, 13, 1.5, 0.0, 1.6, 0.55),
        (134, 9, 2.5, 1.1, 1.2, 0.40),
        (140, 15, 1.0, 2.3, 1.0, 0.30),
        (146, 7, 3.5, 0.6, 1.0, 0.25),
    ]
    for centre, amplitude, cycles, phase, stroke, opacity in waves:
        mvg.append("fill none stroke white stroke-width %.2f stroke-opacity %.2f" % (stroke, opacity))
        mvg.append(wave(width, centre, amplitude, cycles, phase))
    mvg.append("stroke-opacity 1")
    mvg += mark(44, 54, 17, 3.2, (2.4, 1.8), "white", "white")
    run(["-size", "%dx%d" % (width, height), "gradient:%s-%s" % (NAVY, TEAL),
         "-draw", "\n".join(mvg),
         "-font", SANS_BOLD, "-pointsize", "13", "-fill", "white",
         "-gravity", "south", "-annotate", "+0+24", "Ostrel",
         "-font", SANS, "-pointsize", "9", "-fill", MIST,
         "-annotate", "+0+11", "VST Adapter",
         "-alpha", "off", "-type", "TrueColor", "BMP3:" + path])


def logo(path):
    width, height = 227, 73
    mvg = mark(33, 36, 15, 3.0, (2.2, 1.6), TEAL, NAVY)
    mvg += ["stroke %s stroke-width 1 stroke-opacity 0.5" % TEAL, "line 76,46.5 214,46.5", "stroke-opacity 1"]
    run(["-size", "%dx%d" % (height, width), "gradient:white-%s" % MIST, "-rotate", "-90",
         "-draw", "\n".join(mvg),
         "-font", SANS_BOLD, "-pointsize", "27", "-fill", NAVY,
         "-gravity", "northwest", "-annotate", "+75+10", "Ostrel",
         "-font", SANS, "-pointsize", "13", "-fill", TEAL,
         "-annotate", "+77+50", "VST Adapter Wizard",
         "-alpha", "off", "-type", "TrueColor", "BMP3:" + path])


def main():
    for font in (SANS, SANS_BOLD):
        if not os.path.exists(font):
            sys.exit("missing %s: install the Debian package fonts-dejavu-core" % font)
    side(os.path.join(RES, "side.bmp"))
    logo(os.path.join(RES, "logo.bmp"))


if __name__ == "__main__":
    main()
