#!/usr/bin/env python3
"""Writes the test skin (tests/fixtures/skin/): a style sheet, a knob strip, a
dial strip of flat frames, a vertical slider with its handle, a two-frame bar
graph, a BMP button with its mask and a joystick handle under three metadata
texts, each image with its metadata text. Every pixel is computed here; run
again after changing it and commit the result.

usage: scripts/make_skin_fixture.py [FOLDER]   (default tests/fixtures/skin)
"""
import math
import os
import struct
import sys
import zlib


def write(folder, name, data):
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(os.path.join(folder, name), mode) as f:
        f.write(data)


def png(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) gives (r, g, b, a), straight alpha."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # no filter
        for x in range(width):
            raw.extend(pixel(x, y))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def bmp(width, height, pixel):
    """A 24-bit bottom-up Windows bitmap; pixel(x, y) gives (r, g, b)."""
    row_bytes = (width * 3 + 3) // 4 * 4
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row.extend((b, g, r))
        row.extend(b"\0" * (row_bytes - len(row)))
        rows.extend(row)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + bytes(rows)


def inside_circle(x, y, cx, cy, radius):
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius


def on_disc(x, y, size, radius):
    """Pixel (x, y) of a strip of square frames of that size: its frame, its
    row in the frame and whether it lies on the disc in the frame's middle."""
    frame, fy = divmod(y, size)
    return frame, fy, inside_circle(x, fy, size / 2, size / 2, radius)


# --- knob: 64 frames of 32 x 32, one above the other --------------------------
KNOB_FRAMES, KNOB_SIZE = 64, 32


def knob_colour(frame):
    return (4 * frame, 0x60, 252 - 4 * frame)


def knob_pixel(x, y):
    frame, fy, on = on_disc(x, y, KNOB_SIZE, 14)
    if not on:
        return (0, 0, 0, 0)
    # A white pointer from radius 6 to 13, turning clockwise from -135 to +135
    # degrees (0 = straight up) over the frames.
    angle = math.radians(-135 + 270 * frame / (KNOB_FRAMES - 1))
    for step in range(6, 14):
        if (x, fy) == (int(16 + step * math.sin(angle)), int(16 - step * math.cos(angle))):
            return (255, 255, 255, 255)
    return knob_colour(frame) + (255,)


# --- vertical slider: a 24 x 100 track, its 16 x 10 handle below it ----------
def slider_pixel(x, y):
    if y < 100:
        if 10 <= x < 14 and 5 <= y < 95:
            return (0x10, 0x10, 0x10, 255)  # groove
        return (0x50, 0x50, 0x58, 255)  # panel
    if 4 <= x < 20:
        return (0xFF, 0xFF, 0xFF, 255) if y == 104 else (0xC0, 0xC0, 0xC8, 255)
    return (0, 0, 0, 0)


# --- bar graph: frame 0 lit, frame 1 unlit, 12 x 40 each ---------------------
def bar_pixel(x, y):
    frame, fy = divmod(y, 40)
    # Six segments of 5 rows from the bottom, one row apart.
    lit_row = any(40 - 6 * s - 6 <= fy <= 40 - 6 * s - 2 for s in range(6))
    if not (lit_row and 1 <= x < 11):
        return (0x08, 0x08, 0x08, 255)
    return (0x20, 0xE0, 0x40, 255) if frame == 0 else (0x10, 0x40, 0x18, 255)


# --- button: 2 frames of 16 x 16 (off, on) and its mask ----------------------
def button_pixel(x, y):
    frame, fy = divmod(y, 16)
    if not inside_circle(x, fy, 8, 8, 7.5):
        return (0x00, 0xFF, 0xFF)  # cut away by the mask
    return (0xC0, 0x30, 0x30) if frame == 0 else (0x30, 0xC0, 0x30)


def button_mask(x, y):
    """Grey: 0 opaque, 255 transparent; a half-transparent ring at the edge."""
    fy = y % 16
    if inside_circle(x, fy, 8, 8, 6.5):
        m = 0
    elif inside_circle(x, fy, 8, 8, 7.5):
        m = 128
    else:
        m = 255
    return (m, m, m)


# --- joystick handle: 10 frames of 20 x 20 ----------------------------------
def handle_pixel(x, y):
    frame, fy = divmod(y, 20)
    # Opaque but for 3 x 3 corners, so that pixel hit testing shows.
    if (x < 3 or x >= 17) and (fy < 3 or fy >= 17):
        return (0, 0, 0, 0)
    return (40 + 20 * frame, 200, 255 - 20 * frame, 255)


# --- dial: 10 frames of 64 x 64, a flat disc of one colour a frame ----------
DIAL_FRAMES, DIAL_SIZE = 10, 64


def dial_colour(frame):
    return (25 * frame, 0x80, 250 - 25 * frame)


def dial_pixel(x, y):
    frame, _, on = on_disc(x, y, DIAL_SIZE, 30)
    return dial_colour(frame) + (255,) if on else (0, 0, 0, 0)


STYLE_SHEET = """FONT_CATEGORY Normal
font-family Arial, 'Liberation Sans'
font-size 12
font-color #202020
FONT_CATEGORY Heading
font-family 'Times New Roman', serif
font-size 18
font-weight bold
text-align center
font-color #A01010
FONT_CATEGORY Readout
font-family 'Courier New'
font-size 11
font-color #20C020
background-color #101010
legacy-vertical-offset 0
GDI_pixelHeight 14
FONT_CATEGORY Field
font-family 'Courier New'
font-size 15
font-color #1030C0
background-color #F0E0C0
text-align right
vst3-vertical-offset 2
"""

METADATA = {
    "knob.txt": "; a 64-frame knob strip\ntype knob\nframe_size 32 32\nmouse_response rotary\n",
    "slider.txt": ("; vertical slider: the track is frame 0, the handle lies below it\n"
                   "type slider\nframe_size 24 100\npadding 2 0 3 0\nhandle_rect 4 100 20 110\n"
                   "handle_range 0 90\norientation vertical\n"),
    "bargraph.txt": "type bargraph\nframe_size 12 40\nsegment_count 5\nsegment 2 6\n",
    "button.txt": "type button\nframe_size 16 16\n",
    "dial.txt": "; a 10-frame rotary dial\ntype knob\nframe_size 64 64\nmouse_response rotary\n",
    "handle.txt": "; a joystick handle of 10 frames\ntype knob\nframe_size 20 20\n",
    "handle_padded.txt": "type knob\nframe_size 20 20\npadding 1 2 3 4\n",
    "handle_whole.txt": "; no frame height: one frame of the whole image\ntype knob\nframe_size 20 0\n",
}


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "tests", "fixtures", "skin")
    os.makedirs(folder, exist_ok=True)
    write(folder, "global", STYLE_SHEET)
    write(folder, "knob.png", png(KNOB_SIZE, KNOB_SIZE * KNOB_FRAMES, knob_pixel))
    write(folder, "dial.png", png(DIAL_SIZE, DIAL_SIZE * DIAL_FRAMES, dial_pixel))
    write(folder, "slider.png", png(24, 110, slider_pixel))
    write(folder, "bargraph.png", png(12, 80, bar_pixel))
    write(folder, "button.bmp", bmp(16, 32, button_pixel))
    write(folder, "button_mask.bmp", bmp(16, 32, button_mask))
    for name in ("handle.png", "handle_padded.png", "handle_whole.png"):
        write(folder, name, png(20, 200, handle_pixel))
    for name, text in METADATA.items():
        write(folder, name, text)


if __name__ == "__main__":
    main()
