#!/usr/bin/env python3
"""Rewrites an uncompressed 8-bit BMP so that its palette holds only the
colours its pixels use (ImageMagick always writes 256 entries)."""
import struct
import sys


def main(path):
    data = open(path, "rb").read()
    header_size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if header_size != 40 or bits != 8 or compression != 0:
        sys.exit(f"{path}: expected an uncompressed 8-bit BMP with a 40-byte header")
    clr_used = struct.unpack_from("<I", data, 46)[0] or 256
    palette_at = 14 + header_size
    palette = [data[palette_at + 4 * i: palette_at + 4 * i + 4] for i in range(clr_used)]
    pixels_at = struct.unpack_from("<I", data, 10)[0]
    stride = (width + 3) & ~3
    rows = [data[pixels_at + r * stride: pixels_at + r * stride + width] for r in range(abs(height))]

    used = sorted({i for row in rows for i in row})
    new_index = {old: new for new, old in enumerate(used)}
    new_palette = b"".join(palette[i] for i in used)
    pad = b"\0" * (stride - width)
    new_pixels = b"".join(bytes(new_index[i] for i in row) + pad for row in rows)

    pixels_at = palette_at + len(new_palette)
    info = bytearray(data[14:palette_at])
    struct.pack_into("<I", info, 20, len(new_pixels))  # biSizeImage
    struct.pack_into("<II", info, 32, len(used), len(used))  # biClrUsed, biClrImportant
    file_header = struct.pack("<2sIHHI", b"BM", pixels_at + len(new_pixels), 0, 0, pixels_at)
    open(path, "wb").write(file_header + bytes(info) + new_palette + new_pixels)
    print(f"{path}: {width} x {abs(height)}, {len(used)} palette colours")


if __name__ == "__main__":
    main(sys.argv[1])
