#!/usr/bin/env python3
"""Reads a picture of a run with a PNG decoder of its own and prints what it found:

  size <width> <height>
  <colour> <pixels>      for each colour the picture draws in: free, threshold, closed, call
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "closer"))
from export_check import decode_png  # noqa: E402

COLOURS = {
    "free": (26, 107, 204),
    "threshold": (209, 46, 41),
    "closed": (89, 46, 140),
    "call": (250, 182, 48),  # the band atop a call span, over white
}


def near(pixel, colour):
    return all(abs(p - c) <= 6 for p, c in zip(pixel, colour))


def main(path):
    with open(path, "rb") as f:
        width, height, rows = decode_png(f.read())
    print("size", width, height)
    counts = dict.fromkeys(COLOURS, 0)
    for row in rows:
        for pixel in row:
            for name, colour in COLOURS.items():
                if near(pixel[:3], colour):
                    counts[name] += 1
    for name, count in counts.items():
        print(name, count)


if __name__ == "__main__":
    main(sys.argv[1])
