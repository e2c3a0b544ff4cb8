#!/usr/bin/env python3
"""Packs PNG files into one Windows .ico, each image stored as PNG (as Windows allows since
Vista), so that the Windows icon comes from the same drawing as the window's icon.

    png_to_ico.py OUT.ico IMAGE.png...
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("not a PNG")
    return struct.unpack(">II", data[16:24])


def main(out, images):
    pngs = [open(path, "rb").read() for path in images]
    offset = 6 + 16 * len(pngs)
    directory = b""
    for data in pngs:
        width, height = png_size(data)
        # 256 is written as 0: the field is one byte.
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                                 len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(pngs)) + directory + b"".join(pngs))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
