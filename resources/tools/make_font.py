#!/usr/bin/env python3
"""Makes the program's embedded UI font: a copy of a freely licensed
TrueType font that Debian ships, renamed to the family "VelmotGothic".
The font's licence lets a renamed copy be carried inside a program; its
copyright and licence records are kept as they are.

Usage: make_font.py SOURCE.ttf OUTPUT.ttf
"""
import sys

from fontTools.ttLib import TTFont

FAMILY = 'VelmotGothic'

# Name ids: 1 family, 3 unique id, 4 full name, 6 PostScript name,
# 16/17 typographic family and subfamily, 20 CID findfont name, 21/22 WWS
# names.
RENAMED = {1: FAMILY, 3: FAMILY + ' Regular', 4: FAMILY, 6: FAMILY}
DROPPED = {16, 17, 20, 21, 22}


def main():
    source, target = sys.argv[1], sys.argv[2]
    font = TTFont(source)
    if 'glyf' not in font:
        sys.exit(f'{source} is not a TrueType font')
    names = font['name']
    names.names = [n for n in names.names if n.nameID not in DROPPED]
    for record in names.names:
        if record.nameID in RENAMED:
            record.string = RENAMED[record.nameID]
    if not any(r.nameID == 1 for r in names.names):
        names.setName(FAMILY, 1, 3, 1, 0x409)
    font.save(target)


if __name__ == '__main__':
    main()
