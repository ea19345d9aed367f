#!/usr/bin/env python3
"""Writes the map window's cursors (.cur) and icon (.ico) from the pictures below.
Run it again after changing a picture: python3 make_map_resources.py
'#' black outline, 'o' white fill, '.' transparent; '+' in a cursor marks its hot spot
(drawn black). Icon colours: see ICON_COLOURS."""
import os
import struct

POINT = """
.....##.........
....#oo#........
....#oo#........
....#oo#........
....#oo###......
....#oo#oo###...
.##.#oo#oo#oo##.
#oo##oo#oo#oo#o#
#ooo#oooooooooo#
.#oo#oooooooooo#
..#oooooooooooo#
..#ooooooooooo#.
...#oooooooooo#.
...#ooooooooo#..
....#oooooooo#..
....##########..
"""

OPEN = """
.......##.......
...##.#oo###....
..#oo##oo#oo#...
..#oo##oo#oo#.#.
...#oo#oo#oo##o#
...#oo#oo#oo#oo#
.##.#oooooo#oo#.
#oo##oooooooo#..
#ooo#ooooooooo#.
.#ooooooooooooo#
..#oooooooooooo#
..#ooooooooooo#.
...#oooooooooo#.
....#oooooooo#..
.....#ooooooo#..
.....#########..
"""

CLOSED = """
................
................
................
................
....##.##.##....
...#oo#oo#oo##..
...#oooooooo#o#.
.##.#oooooooooo#
#ooo#ooooooooo#.
.#ooooooooooooo#
..#oooooooooooo#
..#ooooooooooo#.
...#oooooooooo#.
....#oooooooo#..
.....#ooooooo#..
.....#########..
"""

# A map sheet with a route: g green land, b blue water, y yellow route, r red flag, k border.
ICON = """
kkkkkkkkkkkkkkkk
kggggggggbbbbbgk
kggyggggbbbbbggk
kgygyggbbbbgrrgk
kgyggyggbbggrggk
kyggggyggggyrggk
kggggggyggygrggk
kgggggggyyggggyk
kbbggggggggggygk
kbbbgggggggggygk
kbbbbgggyyyyyggk
kbbbggggyggggggk
kbbgggggygggrrgk
kgggggggygggrggk
kgggggggygggrggk
kkkkkkkkkkkkkkkk
"""
ICON_COLOURS = {'k': (40, 40, 40), 'g': (150, 200, 120), 'b': (90, 150, 220), 'y': (240, 220, 0),
                'r': (220, 30, 30)}


def rows(picture):
    return [r for r in picture.strip().splitlines()]


def scaled(picture, factor):
    out = []
    for r in rows(picture):
        line = ''.join(c * factor for c in r)
        out.extend([line] * factor)
    return out


def bitmap(lines, colour_of):
    """32-bit BGRA bitmap (bottom-up) and its AND mask, as an icon or cursor image holds them."""
    size = len(lines)
    pixels = b''
    mask = b''
    for r in reversed(lines):
        bits = 0
        for c in r:
            rgba = colour_of(c)
            pixels += bytes([rgba[2], rgba[1], rgba[0], rgba[3]])
            bits = bits << 1 | (1 if rgba[3] == 0 else 0)
        mask += bits.to_bytes(size // 8, 'big').ljust(((size + 31) // 32) * 4, b'\0')
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def write(path, kind, images):
    """images: (size, hotspot or None, data) tuples; kind 1 icon, 2 cursor."""
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for size, hot, data in images:
        a, b = (1, 32) if kind == 1 else hot
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, a, b, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def cursor(picture):
    lines = scaled(picture, 2)
    hot = (8, 8)
    for y, r in enumerate(lines):
        if '+' in r:
            hot = (r.index('+'), y)
    colour = {'#': (0, 0, 0, 255), '+': (0, 0, 0, 255), 'o': (255, 255, 255, 255), '.': (0, 0, 0, 0)}
    return (32, hot, bitmap(lines, lambda c: colour[c]))


here = os.path.dirname(os.path.abspath(__file__))
hand_point = cursor(POINT)
hand_point = (32, (10, 0), hand_point[2])  # the finger tip
write(os.path.join(here, 'hand_point.cur'), 2, [hand_point])
write(os.path.join(here, 'hand_open.cur'), 2, [cursor(OPEN)])
write(os.path.join(here, 'hand_closed.cur'), 2, [cursor(CLOSED)])
icon_colour = lambda c: ICON_COLOURS[c] + (255,)
write(os.path.join(here, 'map.ico'), 1,
      [(32, None, bitmap(scaled(ICON, 2), icon_colour)), (16, None, bitmap(rows(ICON), icon_colour))])
