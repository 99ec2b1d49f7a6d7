#!/usr/bin/env python3
"""Reads a PNG with a decoder of its own and prints its pixels for a test to look at:

  <width> <height>
  one line a row: each pixel as eight hex digits, red green blue alpha
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "closer"))
from export_check import decode_png  # noqa: E402


def main(path):
    with open(path, "rb") as f:
        width, height, rows = decode_png(f.read())
    out = ["%d %d" % (width, height)]
    for row in rows:
        out.append("".join("%02x%02x%02x%02x" % tuple(p) for p in row))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
