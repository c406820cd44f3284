"""Screenshots of the X display as PNG files under build/e2e-artifacts/, for failures and for review."""

import os
import re
import shutil
import struct
import subprocess
import time
import zlib
from pathlib import Path

from wine_session import BUILD_DIR

ARTIFACTS_DIR = BUILD_DIR / "e2e-artifacts"


def _xwd_pixels(xwd):
    """An XWD image as (width, height, rows of RGB bytes)."""
    header = struct.unpack(">25I", xwd[:100])
    (header_size, _version, pixmap_format, depth, width, height, _xoffset, byte_order,
     _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual, red_mask,
     green_mask, blue_mask, _bits_rgb, _cmap_entries, ncolors) = header[:20]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError(f"unsupported XWD image: format {pixmap_format}, {bits_per_pixel} bpp, depth {depth}")
    data = xwd[header_size + 12 * ncolors:]
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [(mask, shift(mask)) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[y * bytes_per_line:y * bytes_per_line + width * step]
        rgb = bytearray(3 * width)
        if all(mask == 0xFF << s and s % 8 == 0 for mask, s in shifts):
            # Byte-aligned channels (the usual 24-bit visual): slice them out.
            for channel, (_mask, s) in enumerate(shifts):
                index = s // 8 if order == "little" else step - 1 - s // 8
                rgb[channel::3] = line[index::step]
        else:
            for x in range(width):
                pixel = int.from_bytes(line[x * step:(x + 1) * step], order)
                rgb[3 * x:3 * x + 3] = bytes(((pixel & mask) >> s) & 0xFF for mask, s in shifts)
        rows.append(rgb)
    return width, height, rows


def _write_png(width, height, rows, png_path):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\0" + bytes(row) for row in rows)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    Path(png_path).write_bytes(png)


def _xwd(display, *target):
    return subprocess.run(["xwd", "-silent", "-display", display, *target], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=30, check=True).stdout


def _mapped_top_level_windows(display):
    """(X window id, x, y) of the mapped windows on the root, bottom-most first."""
    tree = subprocess.run(["xwininfo", "-root", "-children", "-display", display], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=30, text=True, check=True).stdout
    found = []
    for line in tree.splitlines():
        match = re.match(r"\s+(0x[0-9a-f]+) .*\s(\d+)x(\d+)[+-]\d+[+-]\d+\s+\+(-?\d+)\+(-?\d+)\s*$", line)
        if not match or int(match[2]) * int(match[3]) <= 1:
            continue
        info = subprocess.run(["xwininfo", "-id", match[1], "-display", display], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=30, text=True).stdout
        if "IsViewable" in info:
            found.append((match[1], int(match[4]), int(match[5])))
    return list(reversed(found))  # xwininfo lists the top-most window first


def _lay_over(rows, pixels, left, top):
    """Copies a window's pixels onto the picture at its place, except black
    ones: those are where the window itself lacks what lies over it."""
    height, width = len(rows), len(rows[0]) // 3
    for y in range(max(0, -top), min(len(pixels), height - top)):
        x0, x1 = max(0, -left), min(len(pixels[y]) // 3, width - left)
        if x1 <= x0:
            continue
        source, target = pixels[y], rows[top + y]
        if b"\0\0\0" not in source[3 * x0:3 * x1]:
            target[3 * (left + x0):3 * (left + x1)] = source[3 * x0:3 * x1]
            continue
        for x in range(x0, x1):
            pixel = source[3 * x:3 * x + 3]
            if pixel != b"\0\0\0":
                target[3 * (left + x):3 * (left + x) + 3] = pixel


def screenshot(name):
    """Saves the X display as build/e2e-artifacts/<name>.png; returns the path,
    or None when no picture could be taken (a screenshot never fails a test).
    Without a compositing manager, Wine may keep the pixels of a window shown
    over another off the root, which then shows black there; so each window
    is taken on its own and laid over the root's picture, in stacking order."""
    display = os.environ.get("DISPLAY")
    if not display or not shutil.which("xwd"):
        return None
    try:
        ARTIFACTS_DIR.mkdir(parents=True, exist_ok=True)
        safe = "".join(c if c.isalnum() or c in "-_." else "_" for c in name)
        path = ARTIFACTS_DIR / f"{time.strftime('%H%M%S')}-{safe}.png"
        width, height, rows = _xwd_pixels(_xwd(display, "-root"))
        windows = _mapped_top_level_windows(display) if shutil.which("xwininfo") else []
        for window, left, top in windows:
            try:
                _w, _h, pixels = _xwd_pixels(_xwd(display, "-id", window))
            except (ValueError, subprocess.SubprocessError):
                continue  # gone meanwhile
            _lay_over(rows, pixels, left, top)
        _write_png(width, height, rows, path)
        return path
    except (OSError, ValueError, subprocess.SubprocessError):
        return None
