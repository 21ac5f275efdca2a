#!/usr/bin/env python3
"""Writes docs/Brenvale.rtf from docs/user_guide.txt.

The guide's lines: "#" the title, "##" a section heading, "-" a list item, anything else a paragraph.
RTF keeps every non-ASCII character as \\uN? so the document opens the same in any word processor.
Run it after editing the guide; a test checks that the two say the same.
"""
import pathlib
import sys


def esc(s):
    out = []
    for ch in s:
        c = ord(ch)
        if ch in '\\{}':
            out.append('\\' + ch)
        elif c < 128:
            out.append(ch)
        else:
            out.append('\\u%d?' % (c - 65536 if c > 32767 else c))
    return ''.join(out)


def main():
    here = pathlib.Path(__file__).resolve().parent
    lines = (here / 'user_guide.txt').read_text(encoding='utf-8').splitlines()
    out = ['{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1', '{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}',
           '\\viewkind4\\f0\\fs22']
    for line in lines:
        if line.startswith('##'):
            out.append('\\pard\\sb240\\sa120\\b\\fs26 ' + esc(line[2:]) + '\\b0\\fs22\\par')
        elif line.startswith('#'):
            out.append('\\pard\\qc\\sa240\\b\\fs32 ' + esc(line[1:]) + '\\b0\\fs22\\par')
        elif line.startswith('-'):
            out.append('\\pard\\li360\\fi-240\\sa60 \\bullet  ' + esc(line[1:]) + '\\par')
        elif line:
            out.append('\\pard\\sa120 ' + esc(line) + '\\par')
    out.append('}')
    (here / 'Brenvale.rtf').write_bytes(('\r\n'.join(out) + '\r\n').encode('ascii'))
    return 0


if __name__ == '__main__':
    sys.exit(main())
