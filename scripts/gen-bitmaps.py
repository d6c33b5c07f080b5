#!/usr/bin/env python3
"""Draws the engine's bitmap resources into src/engine/resources/bitmaps/.

The pictures are ours: the folder and drive glyphs (16 x 16, 16 colours) in
two looks (the plain names for Windows below 4, "95" for 4 and later), the
wizard's picture WIZARDIMAGE (117 x 231) and the next-disk picture DISKIMAGE
(48 x 48, 16 colours, on pure blue, which the dialog leaves transparent),
and the program's icon setup.ico (32 x 32, 32-bit with its transparency).
The glyphs' background is fuchsia; the controls replace the colour of the
bottom-left pixel, so every glyph keeps that pixel in the background.
Run it again after changing a picture; the output is byte-for-byte stable.
"""
import math
import os
import struct
import sys

# The 16 colours of the standard VGA palette.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
KEY = {
    '.': 13,  # fuchsia: the transparent background of the glyphs
    'K': 0, 'm': 1, 'n': 2, 'y': 3, 'b': 4, 'p': 5, 't': 6, 'g': 7,
    'd': 8, 'R': 9, 'G': 10, 'Y': 11, 'B': 12, 'c': 14, 'W': 15,
}


def rle8_rows(rows):
    """Run-length encodes 8-bit rows (bottom-up, as stored) the BI_RLE8 way.

    A run of two or more equal pixels is a (count, index) pair; three or
    more pixels that do not repeat go in absolute mode (0, count, pixels,
    padded to an even length); each row ends with (0, 0), the last with
    (0, 1), the end of the bitmap.
    """
    data = bytearray()
    for y, row in enumerate(rows):
        x, n = 0, len(row)
        while x < n:
            run = 1
            while x + run < n and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                data += bytes((run, row[x]))
                x += run
                continue
            # Pixels up to the next pair of equal ones.
            end = x + 1
            while end < n and end - x < 255 and not (end + 1 < n and row[end] == row[end + 1]):
                end += 1
            if end - x >= 3:
                data += bytes((0, end - x)) + bytes(row[x:end]) + (b'\0' if (end - x) % 2 else b'')
            else:
                data += b''.join(bytes((1, v)) for v in row[x:end])
            x = end
        data += b'\0\1' if y == len(rows) - 1 else b'\0\0'
    return bytes(data)


def unrle8(data, width, height):
    """Decodes what rle8_rows wrote: the check that it did so right."""
    rows, row, i = [], [], 0
    while True:
        count, value = data[i], data[i + 1]
        i += 2
        if count:
            row += [value] * count
        elif value in (0, 1):
            rows.append(row + [0] * (width - len(row)))
            row = []
            if value == 1:
                return rows + [[0] * width] * (height - len(rows))
        else:
            row += list(data[i:i + value])
            i += value + value % 2


def write_bmp(path, width, height, pixels, bits, rle=False):
    """pixels: rows top-down; palette indices (bits 4) or (r, g, b) (bits 8, 24).

    Bits 8 keeps every colour exactly (at most 256 of them) in a third of
    the bytes of 24: the picture is carried by every Setup.exe. With rle
    (bits 8 only) the rows are run-length encoded, which a picture of
    flat areas and gradients shrinks to a fifth; LoadImage decodes it.
    """
    colours = []
    if bits == 8:
        colours = sorted({c for row in pixels for c in row})
        assert len(colours) <= 256, 'more colours than an 8-bit bitmap holds'
        index = {c: i for i, c in enumerate(colours)}
        pixels = [[index[c] for c in row] for row in pixels]
        row_bytes = (width + 3) & ~3
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in colours)
    elif bits == 4:
        row_bytes = ((width + 1) // 2 + 3) & ~3
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in VGA)
    else:
        row_bytes = (width * 3 + 3) & ~3
        palette = b''
    data = bytearray()
    if rle:
        assert bits == 8, 'run-length encoding is written for 8-bit bitmaps only'
        stored = list(reversed(pixels))  # BMP rows are stored bottom-up
        data = rle8_rows(stored)
        assert unrle8(data, width, height) == stored, 'the run-length encoding does not decode to the picture'
    else:
        for row in reversed(pixels):  # BMP rows are stored bottom-up
            line = bytearray()
            if bits == 8:
                line += bytes(row)
            elif bits == 4:
                for x in range(0, width, 2):
                    hi = row[x]
                    lo = row[x + 1] if x + 1 < width else 0
                    line.append((hi << 4) | lo)
            else:
                for (r, g, b) in row:
                    line += bytes((b, g, r))
            line += b'\0' * (row_bytes - len(line))
            data += line
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    bi_rle8 = 1
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, bi_rle8 if rle else 0, len(data), 3780, 3780,
                       16 if bits == 4 else len(colours), 0)
    with open(path, 'wb') as f:
        f.write(header + info + palette + bytes(data))


def art(rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), rows
    assert rows[15][0] == '.', 'the bottom-left pixel must be background'
    return [[KEY[c] for c in r] for r in rows]


# The look of Windows 4 and later: yellow folders, grey drives.
GLYPHS_95 = {
    'NFC_CLOSEDFOLDER': [
        '................',
        '................',
        '..KKKKK.........',
        '.KYWYWYK........',
        '.KWYYYYYKKKKKKK.',
        '.KYYYYYYYYYYYYyK',
        '.KYYYYYYYYYYYYyK',
        '.KYYYYYYYYYYYYyK',
        '.KYYYYYYYYYYYYyK',
        '.KYYYYYYYYYYYYyK',
        '.KYYYYYYYYYYYYyK',
        '.KYYYYYYYYYYYYyK',
        '.KyyyyyyyyyyyyyK',
        '..KKKKKKKKKKKKK.',
        '................',
        '................',
    ],
    'NFC_OPENFOLDER': [
        '................',
        '................',
        '..KKKKK.........',
        '.KYWYWYK........',
        '.KWYYYYYKKKKKK..',
        '.KYYYYYYYYYYYyK.',
        '.KYYYKKKKKKKKKKK',
        '.KYYKWYWYWYWYWYK',
        '.KYKWYYYYYYYYYK.',
        '.KYKYYYYYYYYYYK.',
        '.KKYYYYYYYYYYK..',
        '.KKYYYYYYYYYYK..',
        '.KKKKKKKKKKKKK..',
        '................',
        '................',
        '................',
    ],
    'NFC_CURRENTFOLDER': [
        '................',
        '................',
        '..KKKKK.........',
        '.KYWYWYK........',
        '.KWYYYYYKKKKKK..',
        '.KYYWWWWWWWWYyK.',
        '.KYYWKKKKKKKKKKK',
        '.KYYKWYWYWYWYWYK',
        '.KYKWYYYYYYYYYK.',
        '.KYKYYYYRRYYYYK.',
        '.KKYYYYRRYYYYK..',
        '.KKYYYYYYYYYYK..',
        '.KKKKKKKKKKKKK..',
        '................',
        '................',
        '................',
    ],
    'NFC_FLOPPY': [
        '................',
        '..KKKKKKKKKKKK..',
        '..KbbggggggbbK..',
        '..KbbgKKgggbbK..',
        '..KbbgKKgggbbK..',
        '..KbbggggggbbK..',
        '..KbbbbbbbbbbK..',
        '..KbbbbbbbbbbK..',
        '..KbWWWWWWWWbK..',
        '..KbWddddddWbK..',
        '..KbWWWWWWWWbK..',
        '..KbWddddddWbK..',
        '..KbWWWWWWWWbK..',
        '..KKKKKKKKKKKK..',
        '................',
        '................',
    ],
    'NFC_HARD': [
        '................',
        '................',
        '................',
        '................',
        '................',
        '..KKKKKKKKKKKK..',
        '.KWWWWWWWWWWWgK.',
        '.KWggggggggggdK.',
        '.KWggggggggGgdK.',
        '.KWggggggggggdK.',
        '.KgddddddddddddK',
        '..KKKKKKKKKKKK..',
        '................',
        '................',
        '................',
        '................',
    ],
    'NFC_NETWORK': [
        '................',
        '................',
        '..KKKKKKKKKKKK..',
        '.KWWWWWWWWWWWgK.',
        '.KWggggggggggdK.',
        '.KWggggggggGgdK.',
        '.KWggggggggggdK.',
        '.KgddddddddddddK',
        '..KKKKKKKKKKKK..',
        '.......KK.......',
        '.......KK.......',
        '.......KK.......',
        'KKKKKKKKKKKKKKKK',
        '................',
        '................',
        '................',
    ],
    'NFC_CDROM': [
        '.....KKKKKK.....',
        '...KKccWWccKK...',
        '..KcccWWWWcccK..',
        '..KccccKKccccK..',
        '..KcccWKKWcccK..',
        '...KKccWWccKK...',
        '.....KKKKKK.....',
        '................',
        '..KKKKKKKKKKKK..',
        '.KWWWWWWWWWWWgK.',
        '.KWgggKKKKKggdK.',
        '.KWggggggggGgdK.',
        '.KgddddddddddddK',
        '..KKKKKKKKKKKK..',
        '................',
        '................',
    ],
    'NFC_RAM': [
        '................',
        '................',
        '................',
        '..K.K.K.K.K.K...',
        '.KKKKKKKKKKKKKK.',
        '.KnnnnnnnnnnnnK.',
        '.KnKKKnKKKnKKnK.',
        '.KnKKKnKKKnKKnK.',
        '.KnKKKnKKKnKKnK.',
        '.KnnnnnnnnnnnnK.',
        '.KKKKKKKKKKKKKK.',
        '..Y.Y.Y.Y.Y.Y...',
        '..Y.Y.Y.Y.Y.Y...',
        '................',
        '................',
        '................',
    ],
}

# The older look: the same shapes in black, white and grey.
OLD_LOOK = {'Y': 'W', 'y': 'd', 'R': 'K', 'c': 'W', 'n': 'g', 'b': 'K', 'G': 'K'}


def old_look(rows):
    return [''.join(OLD_LOOK.get(c, c) for c in r) for r in rows]


def disk_image():
    """A 3.5-inch disk on pure blue, 48 x 48."""
    blue, navy, black, silver, grey, white, teal = 12, 4, 0, 7, 8, 15, 6
    px = [[blue] * 48 for _ in range(48)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = c

    rect(6, 4, 42, 44, black)        # outline
    rect(7, 5, 41, 43, navy)         # body
    rect(38, 5, 41, 8, blue)         # the cut corner
    rect(37, 5, 38, 8, black)
    rect(38, 8, 41, 9, black)
    rect(14, 5, 34, 18, silver)      # shutter
    rect(14, 18, 34, 19, grey)
    rect(26, 7, 31, 16, navy)        # shutter window
    rect(11, 23, 37, 43, white)      # label
    for y in (27, 31, 35, 39):
        rect(14, y, 34, y + 1, teal)
    rect(8, 39, 10, 41, black)       # write-protect hole
    return px


def wizard_image():
    """The wizard's picture, 117 x 231: a boxed program above a disk, on a blue gradient."""
    w, h = 117, 231
    px = []
    for y in range(h):
        t = y / (h - 1)
        base = (int(0 + 40 * t), int(64 + 100 * t), int(160 + 80 * t))
        px.append([base] * w)

    def rect(x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(h, y1)):
            for x in range(max(0, x0), min(w, x1)):
                px[y][x] = c

    def poly(points, c):
        # Scan-line fill of a convex polygon.
        ys = [p[1] for p in points]
        for y in range(max(0, int(min(ys))), min(h, int(max(ys)) + 1)):
            xs = []
            for i in range(len(points)):
                (x0, y0), (x1, y1) = points[i], points[(i + 1) % len(points)]
                if (y0 <= y < y1) or (y1 <= y < y0):
                    xs.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
            if len(xs) >= 2:
                for x in range(max(0, int(min(xs))), min(w, int(max(xs)) + 1)):
                    px[y][x] = c

    # The box: front, side and top faces.
    poly([(18, 70), (78, 70), (78, 150), (18, 150)], (230, 200, 60))
    poly([(78, 70), (100, 56), (100, 136), (78, 150)], (170, 140, 30))
    poly([(18, 70), (40, 56), (100, 56), (78, 70)], (250, 230, 120))
    rect(26, 82, 70, 100, (200, 40, 40))     # the label on the front
    rect(26, 106, 70, 110, (120, 90, 20))
    rect(26, 116, 62, 120, (120, 90, 20))
    # A disk leaning against the box.
    rect(20, 168, 64, 212, (20, 20, 20))
    rect(21, 169, 63, 211, (30, 30, 110))
    rect(30, 169, 54, 182, (192, 192, 192))
    rect(46, 171, 51, 180, (30, 30, 110))
    rect(26, 188, 58, 211, (245, 245, 245))
    # A compact disc beside it.
    cx, cy, r = 84, 190, 20
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            d = math.hypot(x - cx, y - cy)
            if d <= r:
                shade = 200 + int(50 * math.sin((x + y) / 6.0))
                px[y][x] = (shade, shade, 255) if d > 5 else (0, 64, 160)
                if d > r - 1:
                    px[y][x] = (60, 60, 60)
    # Sparkles over the box.
    for (sx, sy) in ((30, 30), (88, 24), (60, 40)):
        for d in range(-4, 5):
            px[sy][sx + d] = (255, 255, 255)
            px[sy + d][sx] = (255, 255, 255)
    return w, h, px


def write_ico(path, size, pixels):
    """pixels: rows top-down of (r, g, b, a); one 32-bit image with its AND mask."""
    xor = bytearray()
    for row in reversed(pixels):
        for (r, g, b, a) in row:
            xor += struct.pack('<BBBB', b, g, r, a)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 22)
    with open(path, 'wb') as f:
        f.write(directory + image)


def program_icon():
    """The program's icon, 32 x 32: a box with a disk before it, as in the wizard's picture."""
    n = 32
    px = [[(0, 0, 0, 0)] * n for _ in range(n)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = c + (255,)

    rect(4, 8, 24, 28, (120, 90, 20))       # box outline
    rect(5, 9, 23, 27, (230, 200, 60))      # front
    rect(24, 5, 28, 25, (170, 140, 30))     # side
    rect(7, 4, 27, 8, (250, 230, 120))      # top
    rect(8, 12, 20, 17, (200, 40, 40))      # label
    rect(14, 18, 30, 31, (20, 20, 20))      # disk
    rect(15, 19, 29, 30, (30, 30, 110))
    rect(18, 19, 26, 23, (192, 192, 192))
    rect(17, 25, 27, 30, (245, 245, 245))
    return px


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
    out = os.path.join(root, 'src', 'engine', 'resources', 'bitmaps')
    os.makedirs(out, exist_ok=True)
    for name, rows in sorted(GLYPHS_95.items()):
        write_bmp(os.path.join(out, name.lower() + '95.bmp'), 16, 16, art(rows), 4)
        write_bmp(os.path.join(out, name.lower() + '.bmp'), 16, 16, art(old_look(rows)), 4)
    write_bmp(os.path.join(out, 'diskimage.bmp'), 48, 48, disk_image(), 4)
    w, h, px = wizard_image()
    write_bmp(os.path.join(out, 'wizardimage.bmp'), w, h, px, 8, rle=True)
    write_ico(os.path.join(out, 'setup.ico'), 32, program_icon())
    return 0


if __name__ == '__main__':
    sys.exit(main())
