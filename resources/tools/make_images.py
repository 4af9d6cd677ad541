#!/usr/bin/env python3
"""Draws the program's pictures (PNG images, icons, the folder-page bitmap)
into a folder at build time, from the descriptions below: small flat shapes
and labels in a 3x5 pixel font. Nothing here is copied from elsewhere.

Usage: make_images.py OUTPUT_FOLDER
"""
import struct
import sys
import zlib
from pathlib import Path

# 3x5 glyphs, five rows of three cells each ('#' is ink).
GLYPHS = {
    'A': ['.#.', '#.#', '###', '#.#', '#.#'],
    'B': ['##.', '#.#', '##.', '#.#', '##.'],
    'C': ['.##', '#..', '#..', '#..', '.##'],
    'D': ['##.', '#.#', '#.#', '#.#', '##.'],
    'E': ['###', '#..', '##.', '#..', '###'],
    'F': ['###', '#..', '##.', '#..', '#..'],
    'G': ['.##', '#..', '#.#', '#.#', '.##'],
    'H': ['#.#', '#.#', '###', '#.#', '#.#'],
    'I': ['###', '.#.', '.#.', '.#.', '###'],
    'K': ['#.#', '#.#', '##.', '#.#', '#.#'],
    'L': ['#..', '#..', '#..', '#..', '###'],
    'M': ['#.#', '###', '###', '#.#', '#.#'],
    'N': ['##.', '#.#', '#.#', '#.#', '#.#'],
    'O': ['.#.', '#.#', '#.#', '#.#', '.#.'],
    'P': ['##.', '#.#', '##.', '#..', '#..'],
    'R': ['##.', '#.#', '##.', '#.#', '#.#'],
    'S': ['.##', '#..', '.#.', '..#', '##.'],
    'T': ['###', '.#.', '.#.', '.#.', '.#.'],
    'U': ['#.#', '#.#', '#.#', '#.#', '###'],
    'V': ['#.#', '#.#', '#.#', '#.#', '.#.'],
    'W': ['#.#', '#.#', '###', '###', '#.#'],
    'X': ['#.#', '#.#', '.#.', '#.#', '#.#'],
    'Y': ['#.#', '#.#', '.#.', '.#.', '.#.'],
    'Z': ['###', '..#', '.#.', '#..', '###'],
    '!': ['.#.', '.#.', '.#.', '...', '.#.'],
    ' ': ['...', '...', '...', '...', '...'],
    '?': ['##.', '..#', '.#.', '...', '.#.'],
    '<': ['..#', '.#.', '#..', '.#.', '..#'],
    '>': ['#..', '.#.', '..#', '.#.', '#..'],
    '/': ['..#', '..#', '.#.', '#..', '#..'],
    '3': ['##.', '..#', '.#.', '..#', '##.'],
}


def glyph(ch):
    return ''.join(GLYPHS.get(ch.upper(), GLYPHS['?']))


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [list(fill) for _ in range(width * height)]

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = list(color)

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, color)

    def round_rect(self, x0, y0, x1, y1, radius, color):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + radius - x - 0.5, 0, x - (x1 - radius) + 0.5)
                dy = max(y0 + radius - y - 0.5, 0, y - (y1 - radius) + 0.5)
                if dx * dx + dy * dy <= radius * radius:
                    self.put(x, y, color)

    def circle(self, cx, cy, radius, color):
        for y in range(int(cy - radius) - 1, int(cy + radius) + 2):
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius:
                    self.put(x, y, color)

    def line(self, x0, y0, x1, y1, width, color):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            self.circle(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, color)

    def text(self, x, y, text, scale, color):
        for i, ch in enumerate(text):
            cells = glyph(ch)
            for row in range(5):
                for col in range(3):
                    if cells[row * 3 + col] == '#':
                        self.rect(x + (i * 4 + col) * scale, y + row * scale,
                                  x + (i * 4 + col + 1) * scale, y + (row + 1) * scale, color)

    @staticmethod
    def text_width(text, scale):
        return (len(text) * 4 - 1) * scale

    def png(self):
        rows = b''.join(b'\0' + bytes(v for p in self.pixels[y * self.width:(y + 1) * self.width] for v in p)
                        for y in range(self.height))

        def chunk(kind, data):
            return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

        header = struct.pack('>IIBBBBB', self.width, self.height, 8, 6, 0, 0, 0)
        return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b'')

    def dib(self, with_mask):
        """A bottom-up BITMAPINFOHEADER image: 32-bit BGRA with an AND mask
        for icons, 24-bit BGR for plain bitmaps."""
        bits = 32 if with_mask else 24
        stride = (self.width * bits // 8 + 3) & ~3
        data = bytearray()
        for y in reversed(range(self.height)):
            row = bytearray()
            for x in range(self.width):
                r, g, b, a = self.pixels[y * self.width + x]
                row += bytes((b, g, r, a)) if with_mask else bytes((b, g, r))
            data += row + b'\0' * (stride - len(row))
        if with_mask:
            mask_stride = ((self.width + 31) // 32) * 4
            for y in reversed(range(self.height)):
                row = bytearray(mask_stride)
                for x in range(self.width):
                    if self.pixels[y * self.width + x][3] == 0:
                        row[x // 8] |= 0x80 >> (x % 8)
                data += row
        height = self.height * 2 if with_mask else self.height
        header = struct.pack('<IiiHHIIiiII', 40, self.width, height, 1, bits, 0, len(data), 2835, 2835, 0, 0)
        return header + bytes(data)

    def bmp(self):
        dib = self.dib(False)
        return b'BM' + struct.pack('<IHHI', 14 + len(dib), 0, 0, 54) + dib


def ico(canvases):
    header = struct.pack('<HHH', 0, 1, len(canvases))
    offset = 6 + 16 * len(canvases)
    entries, images = b'', b''
    for c in canvases:
        dib = c.dib(True)
        entries += struct.pack('<BBBBHHII', c.width % 256, c.height % 256, 0, 0, 1, 32, len(dib), offset + len(images))
        images += dib
    return header + entries + images


WHITE = (255, 255, 255, 255)


def file_icon(label, color):
    """A page with a folded corner and a coloured band with the label."""
    c = Canvas(32, 32, WHITE)
    edge = (190, 190, 190, 255)
    c.rect(6, 2, 22, 30, (250, 250, 250, 255))
    c.rect(6, 2, 7, 30, edge)
    c.rect(6, 29, 27, 30, edge)
    c.rect(26, 8, 27, 30, edge)
    c.rect(6, 2, 21, 3, edge)
    c.rect(21, 2, 22, 9, edge)
    c.rect(21, 8, 27, 9, edge)
    c.rect(7, 3, 26, 29, (250, 250, 250, 255))
    c.rect(21, 3, 26, 8, WHITE)
    c.line(21, 2, 26, 8, 1, edge)
    c.rect(3, 14, 29, 25, color + (255,))
    scale = 2 if Canvas.text_width(label, 2) <= 24 else 1
    width = Canvas.text_width(label, scale)
    c.text(16 - width // 2, 19 - 5 * scale // 2 - (0 if scale == 2 else 0), label, scale, WHITE)
    return c


def folder_icon():
    c = Canvas(32, 32, WHITE)
    c.round_rect(3, 6, 14, 12, 2, (230, 170, 40, 255))
    c.round_rect(3, 9, 29, 27, 2, (246, 192, 66, 255))
    c.rect(3, 12, 29, 13, (230, 170, 40, 255))
    return c


def badge(kind):
    """A state mark in the lower right corner, the rest transparent."""
    c = Canvas(32, 32)
    colors = {'done': (46, 160, 67), 'progress': (36, 120, 220), 'failed': (210, 50, 45)}
    c.circle(25, 25, 7, WHITE)
    c.circle(25, 25, 6, colors[kind] + (255,))
    if kind == 'done':
        c.line(21.5, 25, 24, 27.5, 1.6, WHITE)
        c.line(24, 27.5, 28.5, 22.5, 1.6, WHITE)
    elif kind == 'progress':
        for dx in (-3, 0, 3):
            c.circle(25 + dx, 25, 1.1, WHITE)
    else:
        c.line(22.5, 22.5, 27.5, 27.5, 1.6, WHITE)
        c.line(27.5, 22.5, 22.5, 27.5, 1.6, WHITE)
    return c


def program_icon(size):
    c = Canvas(size, size)
    c.round_rect(0, 0, size, size, size // 5, (71, 87, 196, 255))
    scale = max(1, size // 12)
    c.text(size // 2 - Canvas.text_width('B', scale) // 2, size // 2 - 5 * scale // 2, 'B', scale, WHITE)
    c.circle(size * 0.78, size * 0.24, max(1.0, size / 12), (255, 214, 90, 255))
    return c


def header_button(kind):
    """24x24 images of the panel's buttons: web page, sync folder, options."""
    c = Canvas(24, 24, WHITE)
    ink = (110, 110, 110, 255)
    if kind == 'web':
        c.circle(12, 12, 8, ink)
        c.circle(12, 12, 6.6, WHITE)
        c.rect(4, 11, 20, 13, ink)
        c.rect(11, 4, 13, 20, ink)
    elif kind == 'folder':
        c.round_rect(4, 6, 11, 10, 1, ink)
        c.round_rect(4, 8, 20, 19, 1, ink)
        c.rect(5, 11, 19, 18, WHITE)
    else:
        c.circle(12, 12, 7, ink)
        for dx, dy in ((0, -8), (0, 8), (-8, 0), (8, 0), (-6, -6), (6, 6), (-6, 6), (6, -6)):
            c.circle(12 + dx, 12 + dy, 1.8, ink)
        c.circle(12, 12, 3, WHITE)
    return c


def logo():
    text = 'BRELIO! DRIVE'
    scale = 4
    width = Canvas.text_width(text, scale) + 40
    c = Canvas(width, 36, WHITE)
    c.round_rect(0, 4, 28, 32, 6, (71, 87, 196, 255))
    c.text(14 - Canvas.text_width('B', 2) // 2, 13, 'B', 2, WHITE)
    c.text(40, 8, text, scale, (71, 87, 196, 255))
    return c


def folder_page_picture():
    """The folder page's illustration: a computer and a cloud joined by arrows."""
    c = Canvas(90, 130, WHITE)
    blue, grey = (71, 87, 196, 255), (150, 150, 150, 255)
    for cx, cy, r in ((34, 30, 12), (50, 24, 15), (64, 32, 11)):
        c.circle(cx, cy, r, blue)
    c.rect(26, 32, 70, 43, blue)
    c.line(38, 52, 38, 76, 2.5, grey)
    c.line(33, 58, 38, 52, 2.5, grey)
    c.line(52, 52, 52, 76, 2.5, grey)
    c.line(57, 70, 52, 76, 2.5, grey)
    c.rect(18, 84, 72, 114, grey)
    c.rect(21, 87, 69, 111, (225, 232, 250, 255))
    c.rect(38, 114, 52, 120, grey)
    c.rect(30, 120, 60, 123, grey)
    return c


FILE_TYPES = {
    221: ('PDF', (214, 52, 44)), 222: ('TXT', (120, 120, 120)), 224: ('AI', (226, 120, 20)),
    225: ('APK', (120, 180, 40)), 226: ('</>', (70, 90, 110)), 227: ('?', (160, 160, 160)),
    228: ('XLS', (30, 130, 70)), 229: ('HWP', (30, 150, 190)), 230: ('KEY', (40, 110, 220)),
    231: ('MP3', (150, 70, 190)), 232: ('NUM', (40, 160, 80)), 233: ('PAG', (230, 140, 30)),
    234: ('IMG', (40, 150, 160)), 235: ('PPT', (210, 90, 40)), 236: ('PSD', (30, 100, 180)),
    237: ('SKT', (230, 170, 20)), 238: ('MOV', (180, 50, 110)), 239: ('DOC', (40, 90, 180)),
    241: ('ZIP', (140, 110, 70)),
}


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    files = {}
    for rid, (label, color) in FILE_TYPES.items():
        files[f'file{rid}.png'] = file_icon(label, color).png()
    files['file220.png'] = folder_icon().png()
    files['button203.png'] = header_button('options').png()
    files['button204.png'] = header_button('folder').png()
    files['button205.png'] = header_button('web').png()
    files['logo217.png'] = logo().png()
    files['state223.ico'] = ico([badge('done')])
    files['state242.ico'] = ico([badge('progress')])
    files['state224.ico'] = ico([badge('failed')])
    files['program128.ico'] = ico([program_icon(16), program_icon(32), program_icon(48)])
    files['folderpage210.bmp'] = folder_page_picture().bmp()
    for name, data in files.items():
        path = out / name
        if not path.exists() or path.read_bytes() != data:
            path.write_bytes(data)


if __name__ == '__main__':
    main()
