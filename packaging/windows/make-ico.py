#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Packs PNG pictures into one Windows icon file, each kept as PNG (which Windows reads since Vista).

    make-ico.py OUT.ico PICTURE.png...
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG picture")
    return struct.unpack(">II", data[16:24])


def main(out, pictures):
    images = [open(path, "rb").read() for path in pictures]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, payload = b"", b""
    for data in images:
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit("an icon picture is at most 256 pixels a side")
        # 256 is written as 0 in the directory.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        payload += data
    with open(out, "wb") as ico:
        ico.write(header + entries + payload)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
