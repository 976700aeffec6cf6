#!/usr/bin/env python3
"""Copies the panel's PNGs as a designer's tools would write them: the same pixels in one
ordinary zlib stream, without the frame index chunk.

Usage: plain_png.py FROM_DIR TO_DIR"""
import os
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)


def rewrite(source, target):
    data = open(source, "rb").read()
    pos, header, idat = 8, None, b""
    while pos < len(data):
        length = struct.unpack(">I", data[pos:pos + 4])[0]
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = body
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    with open(target, "wb") as out:
        out.write(data[:8] + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def main():
    source, target = sys.argv[1], sys.argv[2]
    for name in sorted(os.listdir(source)):
        if name.endswith(".png") and name != "contact-sheet.png":
            rewrite(os.path.join(source, name), os.path.join(target, name))


if __name__ == "__main__":
    main()
