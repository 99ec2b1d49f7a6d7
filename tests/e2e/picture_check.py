#!/usr/bin/env python3
"""Reads a picture of a run with a PNG decoder of its own and prints what it found:

  size <width> <height>
  <colour> <pixels>      for each colour the picture draws in: free, threshold, closed, call,
                         everyapp (the Close Every App bar), leader (a close's dashed leader)
  leader-columns <n>     columns holding a close's leader (ten of its pixels or more)
  everyapp-run <n>       the longest row of Close Every App's colour without a break (text in
                         the closes' purple passes through that colour, but only a pixel at a time)
  box <n> <colour> <pixels> ...
                         with a file of boxes ("x y width height" a line): for each box, the
                         pixels inside it of each line the plot draws (grid, free, threshold)
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "closer"))
from export_check import decode_png  # noqa: E402

WHITE = (255, 255, 255)
FILL = (232, 240, 250)  # the faint blue under the free-memory line


def over(under, colour, alpha):
    return tuple(round(u + alpha * (c - u)) for u, c in zip(under, colour))


CLOSE = (89, 46, 140)
COLOURS = {
    "free": [(26, 107, 204)],
    "threshold": [(209, 46, 41)],
    "closed": [CLOSE],
    "call": [(250, 182, 48)],  # the band atop a call span, over white
    "everyapp": [over(WHITE, CLOSE, 0.35), over(FILL, CLOSE, 0.35)],
    "leader": [over(WHITE, CLOSE, 0.6), over(FILL, CLOSE, 0.6)],
}
# The lines no text may have running through it; the grid, under the faint blue too, is told
# apart from grey text by its blue, so it is matched closely.
LINES = {
    "grid": ([(224, 224, 230), over((224, 224, 230), (26, 107, 204), 0.10)], 1),
    "free": (COLOURS["free"], 6),
    "threshold": (COLOURS["threshold"], 6),
}


def near(pixel, colour, tolerance=6):
    return all(abs(p - c) <= tolerance for p, c in zip(pixel, colour))


def matches(pixel, colours, tolerance=6):
    return any(near(pixel, colour, tolerance) for colour in colours)


def main(path, boxes_path=None):
    with open(path, "rb") as f:
        width, height, rows = decode_png(f.read())
    print("size", width, height)
    # A picture holds few distinct colours: each is matched once.
    names_of = {}
    counts = dict.fromkeys(COLOURS, 0)
    columns = [0] * width
    longest = 0
    for row in rows:
        run = 0
        for x, pixel in enumerate(row):
            rgb = pixel[:3]
            names = names_of.get(rgb)
            if names is None:
                names = names_of[rgb] = [name for name, colours in COLOURS.items() if matches(rgb, colours)]
            for name in names:
                counts[name] += 1
                if name == "leader":
                    columns[x] += 1
            run = run + 1 if "everyapp" in names else 0
            longest = max(longest, run)
    for name, count in counts.items():
        print(name, count)
    print("leader-columns", sum(1 for count in columns if count >= 10))
    print("everyapp-run", longest)
    if not boxes_path:
        return
    with open(boxes_path) as f:
        boxes = [[float(v) for v in line.split()] for line in f if line.strip()]
    for index, (x, y, w, h) in enumerate(boxes):
        found = dict.fromkeys(LINES, 0)
        for py in range(max(0, int(y)), min(height, int(y + h + 0.999))):
            for px in range(max(0, int(x)), min(width, int(x + w + 0.999))):
                pixel = rows[py][px][:3]
                for name, (colours, tolerance) in LINES.items():
                    if matches(pixel, colours, tolerance):
                        found[name] += 1
        print("box", index, " ".join("%s %d" % item for item in found.items()))


if __name__ == "__main__":
    main(*sys.argv[1:3])
