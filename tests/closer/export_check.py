#!/usr/bin/env python3
"""Reads what a catalogue export left in a device root with readers of its own (plistlib, and a
PNG decoder on zlib and struct) and prints what it found, one fact a line:

  key <name> <type>                           every top-level key of the settings file
  record <index> image|fallback               every application record
  png <index> <width> <height> <corner-alpha> <white> <coloured>
  error <text>                                anything malformed (exit status 1)
"""
import plistlib
import struct
import sys
import zlib

ICONS = "/var/mobile/Library/Sleepvane/Icons"
FALLBACK = "/System/Library/PreferenceBundles/SleepvaneSettings.bundle/MissingIcon.png"
SETTINGS = "/var/mobile/Library/Preferences/com.norv.slv.plist"
RECORD_TYPES = {"AppName": str, "BundleID": str, "IconPath": str, "IsFolder": bool, "BundleIDs": list}
CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}

errors = []


def type_name(value):
    return "bool" if isinstance(value, bool) else type(value).__name__


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def decode_png(data):
    """(width, height, rows of RGBA tuples); raises ValueError on anything malformed."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    at, chunks = 8, []
    while at < len(data):
        if at + 12 > len(data):
            raise ValueError("truncated chunk")
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if len(body) != length or zlib.crc32(kind + body) != crc:
            raise ValueError("bad chunk " + kind.decode("latin-1"))
        chunks.append((kind, body))
        at += 12 + length
    if not chunks or chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        raise ValueError("IHDR or IEND missing")
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if depth != 8 or colour not in CHANNELS or interlace != 0:
        raise ValueError("unexpected format %d/%d/%d" % (depth, colour, interlace))
    channels = CHANNELS[colour]
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise ValueError("pixel data of the wrong length")
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up, corner = previous[x], previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                line[x] = (line[x] + paeth(left, up, corner)) & 0xFF
            elif kind != 0:
                raise ValueError("unknown filter %d" % kind)
        pixels = [tuple(line[x:x + channels]) for x in range(0, stride, channels)]
        rows.append([p + (255,) if channels == 3 else p if channels == 4 else (p[0],) * 3 + (p[-1] if channels == 2 else 255,)
                     for p in pixels])
        previous = line
    return width, height, rows


def main(root):
    try:
        with open(root + SETTINGS, "rb") as f:
            settings = plistlib.load(f)
    except Exception as e:  # noqa: BLE001 - any failure to read is the finding
        print("error settings file: %s" % e)
        return 1
    if not isinstance(settings, dict):
        print("error settings file is no dictionary")
        return 1
    for key, value in sorted(settings.items()):
        print("key %s %s" % (key, type_name(value)))
    records = settings.get("ApplicationData", [])
    if settings.get("ApplicationsNumber") != len(records):
        errors.append("ApplicationsNumber %r for %d records" % (settings.get("ApplicationsNumber"), len(records)))
    for index, record in enumerate(records):
        if not isinstance(record, dict) or sorted(record) != sorted(RECORD_TYPES):
            errors.append("record %d has keys %r" % (index, sorted(record) if isinstance(record, dict) else record))
            continue
        for key, kind in RECORD_TYPES.items():
            if type(record[key]) is not kind:
                errors.append("record %d: %s is %s" % (index, key, type_name(record[key])))
        if record["IsFolder"] is not False or record["BundleIDs"] != []:
            errors.append("record %d: IsFolder or BundleIDs set" % index)
        path = record["IconPath"]
        if path == FALLBACK:
            print("record %d fallback" % index)
            continue
        print("record %d image" % index)
        if path != "%s/%s.png" % (ICONS, record["BundleID"]):
            errors.append("record %d: image path %s" % (index, path))
            continue
        try:
            with open(root + path, "rb") as f:
                width, height, rows = decode_png(f.read())
        except (OSError, ValueError, zlib.error) as e:
            errors.append("record %d: %s" % (index, e))
            continue
        pixels = [p for row in rows for p in row]
        white = sum(1 for p in pixels if p[3] == 255 and min(p[:3]) >= 240)
        coloured = sum(1 for p in pixels if p[3] == 255 and max(p[:3]) - min(p[:3]) >= 40)
        print("png %d %d %d %d %d %d" % (index, width, height, rows[0][0][3], white, coloured))
    for e in errors:
        print("error " + e)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
