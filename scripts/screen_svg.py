#!/usr/bin/env python3
"""A terminal screen, as tmux captures it with its colours (capture-pane -e -p), as an SVG
picture: one cell per character in a monospace font, the 16 colours of the PC palette."""
import re
import sys
from xml.sax.saxutils import escape

# ANSI colour numbers (0-7) as the PC palette draws them.
NORMAL = ["#000000", "#aa0000", "#00aa00", "#aa5500", "#0000aa", "#aa00aa", "#00aaaa", "#aaaaaa"]
BRIGHT = ["#555555", "#ff5555", "#55ff55", "#ffff55", "#5555ff", "#ff55ff", "#55ffff", "#ffffff"]
CELL_W, CELL_H = 9.6, 19


def cells(lines, cols):
    """Rows of (character, foreground, background) from text with SGR sequences."""
    out = []
    fg, bg, bold = 7, 0, False  # tmux carries the colours from one line to the next
    for line in lines:
        row = []
        for part in re.split(r"(\x1b\[[0-9;]*m)", line):
            if part.startswith("\x1b["):
                for code in [int(c) if c else 0 for c in part[2:-1].split(";")]:
                    if code == 0:
                        fg, bg, bold = 7, 0, False
                    elif code == 1:
                        bold = True
                    elif code == 22:
                        bold = False
                    elif 30 <= code <= 37:
                        fg = code - 30
                    elif 90 <= code <= 97:
                        fg = code - 90 + 8
                    elif code == 39:
                        fg = 7
                    elif 40 <= code <= 47:
                        bg = code - 40
                    elif 100 <= code <= 107:
                        bg = code - 100 + 8
                    elif code == 49:
                        bg = 0
                continue
            for ch in part:
                row.append((ch, fg + (8 if bold and fg < 8 else 0), bg))
        row = row[:cols] + [(" ", 7, 0)] * (cols - len(row))
        out.append(row)
    return out


def colour(n):
    return BRIGHT[n - 8] if n >= 8 else NORMAL[n]


def main():
    cols, rows = int(sys.argv[1]), int(sys.argv[2])
    lines = sys.stdin.read().split("\n")[:rows]
    lines += [""] * (rows - len(lines))
    grid = cells(lines, cols)
    w, h = cols * CELL_W, rows * CELL_H
    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{w:.0f}" height="{h:.0f}" '
           f'viewBox="0 0 {w:.1f} {h:.0f}" font-family="monospace" font-size="16">']
    # A terminal's default background (0 here) shows as the console's black.
    svg.append(f'<rect width="100%" height="100%" fill="{colour(0)}"/>')
    for y, row in enumerate(grid):
        x = 0
        while x < cols:  # backgrounds in runs
            start, bg = x, row[x][2]
            while x < cols and row[x][2] == bg:
                x += 1
            if bg != 0:
                svg.append(f'<rect x="{start * CELL_W:.1f}" y="{y * CELL_H}" '
                           f'width="{(x - start) * CELL_W:.1f}" height="{CELL_H}" fill="{colour(bg)}"/>')
        x = 0
        while x < cols:  # text in runs of one colour, each character in its own cell
            start, fg = x, row[x][1]
            while x < cols and row[x][1] == fg:
                x += 1
            text = "".join(c[0] for c in row[start:x])
            if text.strip():
                xs = " ".join(f"{(start + i) * CELL_W:.1f}" for i in range(x - start))
                svg.append(f'<text x="{xs}" y="{y * CELL_H + 15}" fill="{colour(fg)}" '
                           f'xml:space="preserve">{escape(text)}</text>')
    svg.append("</svg>")
    print("\n".join(svg))


if __name__ == "__main__":
    main()
