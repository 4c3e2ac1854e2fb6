#!/usr/bin/env python3
"""Turns the user manual, written in a small subset of Markdown, into an A4 PDF.

Usage: python3 tools/make_manual.py docs/manual.md OUTPUT.pdf

The Markdown subset:
  # Title            the first heading, with the paragraph after it as subtitle,
                     makes the title block; later "#" headings are section headings
  ## / ###           section and subsection headings (also the PDF's bookmarks)
  paragraphs         consecutive lines, joined and word-wrapped
  - item, 1. item    bullet and numbered lists (indented lines continue an item)
  ```                fenced code blocks, set in Courier, never wrapped unless too wide
  | a | b |          pipe tables: a header row, a |---| row, body rows
  ---                a horizontal rule
  inline             **bold**, *italic*, `code`, and backslash escapes such as \\|

The PDF is written by hand with the standard Type 1 fonts Helvetica, Helvetica-Bold,
Helvetica-Oblique and Courier in WinAnsiEncoding, so nothing is embedded. Characters
outside that encoding are replaced (a few by look-alikes, the rest by "?"). The output
has no timestamps and a document ID derived from its content, so the same input always
gives the same bytes. Content streams are left uncompressed so that the bytes do not
depend on the zlib build either.
"""

import hashlib
import os
import re
import sys
import tempfile

# ---------------------------------------------------------------------------------
# Page geometry (points) and typography.

PAGE_W = 595.28
PAGE_H = 841.89
MARGIN_L = 58.0
MARGIN_R = 58.0
MARGIN_T = 54.0
MARGIN_B = 64.0  # the footer sits inside this margin
FRAME_W = PAGE_W - MARGIN_L - MARGIN_R
FRAME_TOP = PAGE_H - MARGIN_T
FRAME_BOTTOM = MARGIN_B
FOOTER_Y = 36.0

BODY_SIZE = 9.6
BODY_LEADING = 12.9
TABLE_SIZE = 8.3
TABLE_LEADING = 10.3
CODE_BLOCK_SIZE = 8.4
CODE_BLOCK_LEADING = 11.0
CODE_SCALE = 0.94  # inline code is set slightly smaller than the text around it

TEXT_GREY = 0.12
ACCENT = (0.10, 0.27, 0.50)
CODE_COLOUR = (0.50, 0.13, 0.08)
RULE_GREY = 0.72
MUTED_GREY = 0.42

# Resource names of the fonts, by inline style: r regular, b bold, i italic, c code.
FONT_RESOURCE = {"r": "F1", "b": "F2", "c": "F3", "i": "F4"}
FONT_NAME = {"F1": "Helvetica", "F2": "Helvetica-Bold", "F3": "Courier", "F4": "Helvetica-Oblique"}

# ---------------------------------------------------------------------------------
# Metrics: advance widths in 1/1000 em of the standard Helvetica and Helvetica-Bold,
# by WinAnsi code. Helvetica-Oblique shares Helvetica's widths; Courier is 600 for all.

_HELVETICA_ASCII = [  # codes 32..126
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556,
    278, 278, 584, 584, 584, 556, 1015,
    667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833,
    722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611,
    278, 278, 278, 469, 556, 333,
    556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833,
    556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500,
    334, 260, 334, 584,
]
_HELVETICA_BOLD_ASCII = [  # codes 32..126
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556,
    333, 333, 584, 584, 584, 611, 975,
    722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833,
    722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611,
    333, 278, 333, 584, 556, 333,
    556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889,
    611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500,
    389, 280, 389, 584,
]
# Codes 128..159 that WinAnsi defines (129, 141, 143, 144 and 157 are unused).
_HELVETICA_HIGH = {
    128: 556, 130: 222, 131: 556, 132: 333, 133: 1000, 134: 556, 135: 556, 136: 333,
    137: 1000, 138: 667, 139: 333, 140: 1000, 142: 611, 145: 222, 146: 222, 147: 333,
    148: 333, 149: 350, 150: 556, 151: 1000, 152: 333, 153: 1000, 154: 500, 155: 333,
    156: 944, 158: 500, 159: 667,
}
_HELVETICA_BOLD_HIGH = {
    128: 556, 130: 278, 131: 556, 132: 500, 133: 1000, 134: 556, 135: 556, 136: 333,
    137: 1000, 138: 667, 139: 333, 140: 1000, 142: 611, 145: 278, 146: 278, 147: 500,
    148: 500, 149: 350, 150: 556, 151: 1000, 152: 333, 153: 1000, 154: 556, 155: 333,
    156: 944, 158: 500, 159: 667,
}
_HELVETICA_LATIN1 = [  # codes 160..255
    278, 333, 556, 556, 556, 556, 260, 556, 333, 737, 370, 556, 584, 333, 737, 333,
    400, 584, 333, 333, 333, 556, 537, 278, 333, 333, 365, 556, 834, 834, 834, 611,
    667, 667, 667, 667, 667, 667, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278,
    722, 722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611,
    556, 556, 556, 556, 556, 556, 889, 500, 556, 556, 556, 556, 278, 278, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 584, 611, 556, 556, 556, 556, 500, 556, 500,
]
_HELVETICA_BOLD_LATIN1 = [  # codes 160..255
    278, 333, 556, 556, 556, 556, 280, 556, 333, 737, 370, 556, 584, 333, 737, 333,
    400, 584, 333, 333, 333, 611, 556, 278, 333, 333, 365, 556, 834, 834, 834, 611,
    722, 722, 722, 722, 722, 722, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278,
    722, 722, 778, 778, 778, 778, 778, 584, 778, 722, 722, 722, 722, 667, 667, 611,
    556, 556, 556, 556, 556, 556, 889, 556, 556, 556, 556, 556, 278, 278, 278, 278,
    611, 611, 611, 611, 611, 611, 611, 584, 611, 611, 611, 611, 611, 556, 611, 556,
]


def _width_table(ascii_widths, high, latin1):
    table = {}
    for i, w in enumerate(ascii_widths):
        table[32 + i] = w
    table.update(high)
    for i, w in enumerate(latin1):
        table[160 + i] = w
    return table


WIDTHS = {
    "F1": _width_table(_HELVETICA_ASCII, _HELVETICA_HIGH, _HELVETICA_LATIN1),
    "F2": _width_table(_HELVETICA_BOLD_ASCII, _HELVETICA_BOLD_HIGH, _HELVETICA_BOLD_LATIN1),
}
WIDTHS["F4"] = WIDTHS["F1"]
WIDTHS["F3"] = {code: 600 for code in WIDTHS["F1"]}


def text_width(data, font, size):
    """Width in points of WinAnsi bytes `data` in font resource `font` at `size`."""
    table = WIDTHS[font]
    return sum(table.get(b, 600) for b in data) * size / 1000.0


# ---------------------------------------------------------------------------------
# Unicode to WinAnsi.

_WINANSI_HIGH = {
    0x20AC: 128, 0x201A: 130, 0x0192: 131, 0x201E: 132, 0x2026: 133, 0x2020: 134,
    0x2021: 135, 0x02C6: 136, 0x2030: 137, 0x0160: 138, 0x2039: 139, 0x0152: 140,
    0x017D: 142, 0x2018: 145, 0x2019: 146, 0x201C: 147, 0x201D: 148, 0x2022: 149,
    0x2013: 150, 0x2014: 151, 0x02DC: 152, 0x2122: 153, 0x0161: 154, 0x203A: 155,
    0x0153: 156, 0x017E: 158, 0x0178: 159,
}
# Look-alikes for a few characters that WinAnsi lacks.
_FALLBACK = {
    0x2212: "-", 0x2010: "-", 0x2011: "-", 0x2264: "<=", 0x2265: ">=", 0x2260: "!=",
    0x2192: "->", 0x2190: "<-", 0x03C0: "pi", 0x2009: " ", 0x202F: " ", 0x2007: " ",
    0x200B: "", 0x2248: "~", 0x221E: "infinity", 0x2032: "'", 0x2033: '"',
}


def to_winansi(text):
    """The text as WinAnsi bytes; characters outside the encoding become look-alikes or '?'."""
    out = bytearray()
    for ch in text:
        code = ord(ch)
        if 32 <= code <= 126 or 160 <= code <= 255:
            out.append(code)
        elif code in _WINANSI_HIGH:
            out.append(_WINANSI_HIGH[code])
        elif code in _FALLBACK:
            out.extend(_FALLBACK[code].encode("ascii"))
        elif code == 9:
            out.extend(b"    ")
        else:
            out.append(ord("?"))
    return bytes(out)


# ---------------------------------------------------------------------------------
# Markdown subset: blocks and inline spans.

_ESCAPABLE = "\\`*_|#-+.!()[]{}<>~"
_TABLE_SEPARATOR = re.compile(r"^\s*\|?\s*:?-{3,}:?\s*(\|\s*:?-{3,}:?\s*)*\|?\s*$")
_LIST_ITEM = re.compile(r"^(\s*)([-*+]|\d+[.)])\s+(.*)$")
_HEADING = re.compile(r"^(#{1,3})\s+(.*?)\s*#*\s*$")


def parse_inline(text):
    """Spans (text, style) of one paragraph's text: style r, b, i or c."""
    spans = []
    buf = []
    state = {"b": False, "i": False}

    def style():
        return "b" if state["b"] else ("i" if state["i"] else "r")

    def flush():
        if buf:
            spans.append(("".join(buf), style()))
            buf.clear()

    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == "\\" and i + 1 < n and text[i + 1] in _ESCAPABLE:
            buf.append(text[i + 1])
            i += 2
            continue
        if c == "`":
            j = text.find("`", i + 1)
            if j > i:
                flush()
                spans.append((text[i + 1:j], "c"))
                i = j + 1
                continue
        if text.startswith("**", i):
            if state["b"]:
                flush()
                state["b"] = False
                i += 2
                continue
            if i + 2 < n and not text[i + 2].isspace() and text.find("**", i + 3) > 0:
                flush()
                state["b"] = True
                i += 2
                continue
        elif c == "*":
            if state["i"] and i > 0 and not text[i - 1].isspace():
                flush()
                state["i"] = False
                i += 1
                continue
            if (not state["i"] and i + 1 < n and not text[i + 1].isspace()
                    and text.find("*", i + 2) > 0):
                flush()
                state["i"] = True
                i += 1
                continue
        buf.append(c)
        i += 1
    flush()
    return spans


def split_table_row(line):
    """The cells of a pipe-table line; '|' inside code spans or escaped does not split."""
    s = line.strip()
    if s.startswith("|"):
        s = s[1:]
    if s.endswith("|") and not s.endswith("\\|"):
        s = s[:-1]
    cells, cur, in_code, i = [], [], False, 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s) and s[i + 1] == "|":
            cur.append("\\|")
            i += 2
            continue
        if c == "`":
            in_code = not in_code
        if c == "|" and not in_code:
            cells.append("".join(cur).strip())
            cur = []
        else:
            cur.append(c)
        i += 1
    cells.append("".join(cur).strip())
    return cells


def parse_blocks(source):
    """Blocks as tuples: (heading, level, text), (para, text), (list, ordered, [texts]),
    (code, [lines]), (table, header_cells, [row_cells]), (rule,)."""
    lines = source.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    blocks = []
    i, n = 0, len(lines)
    while i < n:
        line = lines[i]
        stripped = line.strip()
        if not stripped:
            i += 1
            continue
        if stripped.startswith("```"):
            body = []
            i += 1
            while i < n and not lines[i].strip().startswith("```"):
                body.append(lines[i].rstrip())
                i += 1
            i += 1  # the closing fence (or the end of the text)
            blocks.append(("code", body))
            continue
        m = _HEADING.match(line)
        if m:
            blocks.append(("heading", len(m.group(1)), m.group(2)))
            i += 1
            continue
        if re.match(r"^\s*(-{3,}|\*{3,}|_{3,})\s*$", line):
            blocks.append(("rule",))
            i += 1
            continue
        if stripped.startswith("|") and i + 1 < n and _TABLE_SEPARATOR.match(lines[i + 1]):
            header = split_table_row(line)
            rows = []
            i += 2
            while i < n and lines[i].strip().startswith("|"):
                rows.append(split_table_row(lines[i]))
                i += 1
            width = len(header)
            rows = [(r + [""] * width)[:width] for r in rows]
            blocks.append(("table", header, rows))
            continue
        m = _LIST_ITEM.match(line)
        if m:
            ordered = m.group(2)[0].isdigit()
            items = []
            while i < n:
                m = _LIST_ITEM.match(lines[i])
                if m and m.group(2)[0].isdigit() == ordered:
                    items.append(m.group(3).strip())
                    i += 1
                elif lines[i].strip() and lines[i][:1] in " \t" and items:
                    items[-1] += " " + lines[i].strip()
                    i += 1
                else:
                    break
            blocks.append(("list", ordered, items))
            continue
        para = [stripped]
        i += 1
        while i < n:
            nxt = lines[i]
            s = nxt.strip()
            if (not s or s.startswith("```") or _HEADING.match(nxt) or _LIST_ITEM.match(nxt)
                    or (s.startswith("|") and i + 1 < n and _TABLE_SEPARATOR.match(lines[i + 1]))):
                break
            para.append(s)
            i += 1
        blocks.append(("para", " ".join(para)))
    return blocks


# ---------------------------------------------------------------------------------
# Line breaking.

def _fmt(v):
    """A number for the PDF: at most three decimals, no trailing zeros, no '-0'."""
    s = "%.3f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def _escape(data):
    out = bytearray()
    for b in data:
        if b in (0x28, 0x29, 0x5C):
            out += b"\\" + bytes([b])
        elif b < 32 or b > 126:
            out += b"\\%03o" % b
        else:
            out.append(b)
    return out.decode("ascii")


def _fill(colour):
    """Operator that sets the fill colour: a grey level or an (r, g, b) tuple."""
    if isinstance(colour, tuple):
        return "%s %s %s rg" % tuple(_fmt(c) for c in colour)
    return "%s g" % _fmt(colour)


def _stroke(colour):
    if isinstance(colour, tuple):
        return "%s %s %s RG" % tuple(_fmt(c) for c in colour)
    return "%s G" % _fmt(colour)


def _rect(x, y, w, h, colour):
    """A filled rectangle with its lower left corner at (x, y)."""
    return "%s %s %s %s %s re f" % (_fill(colour), _fmt(x), _fmt(y), _fmt(w), _fmt(h))


def _hline(y, colour, width, x0=MARGIN_L, x1=MARGIN_L + FRAME_W):
    """A horizontal rule at height y, by default across the frame."""
    return "%s %s w %s %s m %s %s l S" % (_stroke(colour), _fmt(width), _fmt(x0), _fmt(y), _fmt(x1), _fmt(y))


def _text(font, size, x, y, data):
    return "BT /%s %s Tf 1 0 0 1 %s %s Tm (%s) Tj ET" % (font, _fmt(size), _fmt(x), _fmt(y), _escape(data))


class Style:
    """Sizes and colours of one kind of running text."""

    def __init__(self, size, leading, regular="r", colour=TEXT_GREY):
        self.size = size
        self.leading = leading
        self.regular = regular
        self.colour = colour

    def font_size(self, style):
        return self.size * CODE_SCALE if style == "c" else self.size

    def font(self, style):
        if style == "r":
            style = self.regular
        return FONT_RESOURCE[style]

    def width(self, data, style):
        return text_width(data, self.font(style), self.font_size(style))


def make_words(spans, st, keep_code_under):
    """Words: lists of (style, bytes) pieces with no break inside. Spaces break words,
    except inside a code span narrower than `keep_code_under` points."""
    words, cur = [], []
    for text, style in spans:
        data = to_winansi(text)
        if style == "c" and st.width(data, style) <= keep_code_under:
            cur.append((style, data))
            continue
        parts = data.split(b" ")
        for k, part in enumerate(parts):
            if k > 0 and cur:
                words.append(cur)
                cur = []
            if part:
                cur.append((style, part))
    if cur:
        words.append(cur)
    return words


def _word_width(word, st):
    return sum(st.width(data, style) for style, data in word)


def _split_long_word(word, st, max_width):
    """Cuts a word that is wider than a whole line into pieces that fit."""
    pieces, cur, cur_w = [], [], 0.0
    for style, data in word:
        for b in data:
            w = st.width(bytes([b]), style)
            if cur and cur_w + w > max_width:
                pieces.append(cur)
                cur, cur_w = [], 0.0
            if cur and cur[-1][0] == style:
                cur[-1] = (style, cur[-1][1] + bytes([b]))
            else:
                cur.append((style, bytes([b])))
            cur_w += w
    if cur:
        pieces.append(cur)
    return pieces


def break_lines(words, st, max_width):
    """Greedy line breaking; every line is a list of words."""
    lines, cur, cur_w = [], [], 0.0
    for word in words:
        w = _word_width(word, st)
        if w > max_width:
            if cur:
                lines.append(cur)
                cur, cur_w = [], 0.0
            pieces = _split_long_word(word, st, max_width)
            lines.extend([p] for p in pieces[:-1])
            cur, cur_w = [pieces[-1]], _word_width(pieces[-1], st)
            continue
        space = st.width(b" ", cur[-1][-1][0]) if cur else 0.0
        if cur and cur_w + space + w > max_width:
            lines.append(cur)
            cur, cur_w = [word], w
        else:
            cur.append(word)
            cur_w += space + w
    if cur:
        lines.append(cur)
    return lines


def line_ops(line, st, x, baseline, code_boxes=True):
    """PDF operators that draw one broken line with its left edge at x."""
    runs = []  # [style, bytes, x]
    pos = x
    for k, word in enumerate(line):
        if k > 0:
            prev_style = line[k - 1][-1][0]
            space_w = st.width(b" ", prev_style)
            if runs and runs[-1][0] == word[0][0] == prev_style:
                runs[-1][1] += b" "
            pos += space_w
        for style, data in word:
            last = runs[-1] if runs else None
            if last and last[0] == style and abs(last[2] + st.width(bytes(last[1]), style) - pos) < 1e-6:
                last[1] += data
            else:
                runs.append([style, bytearray(data), pos])
            pos += st.width(data, style)
    ops = []
    if code_boxes:  # all boxes first, so that no box covers the text next to it
        for style, data, rx in runs:
            if style == "c":
                size = st.font_size(style)
                ops.append(_rect(rx - 1.2, baseline - 0.27 * size, st.width(bytes(data), style) + 2.4,
                                 size * 1.12, (0.94, 0.94, 0.93)))
    for style, data, rx in runs:
        ops.append(_fill(CODE_COLOUR if style == "c" else st.colour))
        ops.append(_text(st.font(style), st.font_size(style), rx, baseline, bytes(data)))
    return ops


def baseline_in(top, st):
    """Baseline of a line whose box starts at `top` (the box is one leading high)."""
    return top - (st.leading / 2.0 + 0.32 * st.size)


# ---------------------------------------------------------------------------------
# Layout: blocks become atoms (unsplittable pieces), atoms are placed on pages.

class Atom:
    """One unsplittable piece of the page: `draw(top)` gives its operators."""

    def __init__(self, height, draw, space_before=0.0, keep_with_next=False, header=None,
                 outline=None):
        self.height = height
        self.draw = draw
        self.space_before = space_before
        self.keep_with_next = keep_with_next
        self.header = header      # a table's header atom, repeated on a new page
        self.outline = outline    # (level, title) for the bookmarks


BODY = Style(BODY_SIZE, BODY_LEADING)


def text_atoms(text, st, indent=0.0, space_before=0.0, marker=None, width=None):
    """Atoms for a wrapped paragraph, one per line; orphans and widows are avoided by
    keeping the first two and the last two lines together."""
    width = (FRAME_W - indent) if width is None else width
    words = make_words(parse_inline(text), st, width * 0.5)
    lines = break_lines(words, st, width) or [[]]
    atoms = []
    for k, line in enumerate(lines):
        def draw(top, line=line, first=(k == 0)):
            base = baseline_in(top, st)
            ops = line_ops(line, st, MARGIN_L + indent, base)
            if first and marker is not None:
                mdata, mx = marker
                ops += [_fill(TEXT_GREY), _text("F1", st.size, mx, base, mdata)]
            return ops
        keep = (k == 0 and len(lines) > 1) or (k == len(lines) - 2 and len(lines) > 2)
        atoms.append(Atom(st.leading, draw, space_before if k == 0 else 0.0, keep))
    return atoms


def heading_atoms(level, text):
    size = {1: 16.0, 2: 14.0, 3: 11.0}[level]
    st = Style(size, size * 1.25, regular="b", colour=ACCENT)
    words = make_words(parse_inline(text), st, FRAME_W)
    lines = break_lines(words, st, FRAME_W) or [[]]
    rule = level <= 2
    height = len(lines) * st.leading + (5.0 if rule else 0.0)

    def draw(top):
        ops = []
        for k, line in enumerate(lines):
            base = baseline_in(top - k * st.leading, st)
            ops += line_ops(line, st, MARGIN_L, base, code_boxes=False)
        if rule:
            ops.append(_hline(top - len(lines) * st.leading - 1.5, RULE_GREY, 0.6))
        return ops

    plain = "".join(t for t, _ in parse_inline(text))
    space = {1: 18.0, 2: 16.0, 3: 10.0}[level]
    return [Atom(height + 2.0, draw, space, keep_with_next=True, outline=(0 if level <= 2 else 1, plain))]


def title_atoms(title, subtitle):
    tst = Style(30.0, 36.0, regular="b", colour=ACCENT)
    sst = Style(13.0, 18.0, colour=MUTED_GREY)
    tlines = break_lines(make_words(parse_inline(title), tst, FRAME_W), tst, FRAME_W) or [[]]
    slines = []
    if subtitle is not None:
        slines = break_lines(make_words(parse_inline(subtitle), sst, FRAME_W), sst, FRAME_W)
    height = len(tlines) * tst.leading + len(slines) * sst.leading + 16.0

    def draw(top):
        ops = []
        y = top
        for line in tlines:
            ops += line_ops(line, tst, MARGIN_L, baseline_in(y, tst), code_boxes=False)
            y -= tst.leading
        y -= 2.0
        for line in slines:
            ops += line_ops(line, sst, MARGIN_L, baseline_in(y, sst), code_boxes=False)
            y -= sst.leading
        ops.append(_hline(y - 8.0, ACCENT, 2.2))
        return ops

    return [Atom(height, draw, 0.0, keep_with_next=True)]


def list_atoms(ordered, items):
    atoms = []
    indent = 18.0
    for k, item in enumerate(items):
        if ordered:
            label = to_winansi("%d." % (k + 1))
            mx = MARGIN_L + indent - 5.0 - text_width(label, "F1", BODY_SIZE)
        else:
            label = to_winansi("\u2022")
            mx = MARGIN_L + 6.0
        atoms += text_atoms(item, BODY, indent=indent, space_before=(7.0 if k == 0 else 3.0),
                            marker=(label, mx))
    return atoms


def code_atoms(lines):
    st = Style(CODE_BLOCK_SIZE, CODE_BLOCK_LEADING, regular="c", colour=CODE_COLOUR)
    pad = 6.0
    width = FRAME_W - 2 * pad - 4.0
    broken = []
    for line in lines or [""]:
        data = to_winansi(line)
        pieces = _split_long_word([("c", data)], st, width) if data else [[]]
        broken.extend(pieces)
    height = len(broken) * st.leading + 2 * pad

    def draw_part(part, first, last):
        def draw(top):
            h = len(part) * st.leading + (pad if first else 0.0) + (pad if last else 0.0)
            ops = [_rect(MARGIN_L, top - h, FRAME_W, h, (0.955, 0.955, 0.95)),
                   _rect(MARGIN_L, top - h, 2.2, h, ACCENT)]
            y = top - (pad if first else 0.0)
            for line in part:
                if line:
                    base = baseline_in(y, st)
                    ops += line_ops([line], st, MARGIN_L + pad + 4.0, base, code_boxes=False)
                y -= st.leading
            return ops
        return draw

    if height <= FRAME_TOP - FRAME_BOTTOM:
        return [Atom(height, draw_part(broken, True, True), 9.0)]
    atoms = []  # longer than a page: one atom per line
    for k, line in enumerate(broken):
        first, last = k == 0, k == len(broken) - 1
        h = st.leading + (pad if first else 0.0) + (pad if last else 0.0)
        atoms.append(Atom(h, draw_part([line], first, last), 9.0 if first else 0.0))
    return atoms


TABLE = Style(TABLE_SIZE, TABLE_LEADING)
TABLE_HEAD = Style(TABLE_SIZE, TABLE_LEADING, regular="b", colour=ACCENT)
CELL_PAD_X = 4.5
CELL_PAD_Y = 2.5
KEEP_CODE_IN_CELL = 170.0


def column_widths(header, rows):
    """Widths that fill the frame: each column gets at least its longest word (or an
    equal share of the frame, when the longest words do not fit side by side), and the
    room left over goes to the columns by how much text they hold in all, no column
    growing beyond the width that its longest cell needs on one line."""
    cols = len(header)
    mins, maxs, amount = [0.0] * cols, [0.0] * cols, [0.0] * cols
    for r, cells in enumerate([header] + rows):
        st = TABLE_HEAD if r == 0 else TABLE
        for c, cell in enumerate(cells):
            words = make_words(parse_inline(cell), st, KEEP_CODE_IN_CELL)
            widths = [_word_width(w, st) for w in words]
            space = st.width(b" ", "r")
            full = sum(widths) + space * max(0, len(widths) - 1)
            mins[c] = max(mins[c], max(widths, default=0.0) + 2 * CELL_PAD_X)
            maxs[c] = max(maxs[c], full + 2 * CELL_PAD_X)
            amount[c] += full
    total = FRAME_W
    if sum(maxs) <= total:
        extra = total - sum(maxs)
        return [m + extra * m / sum(maxs) for m in maxs]
    if sum(mins) > total:
        # Words too wide for any fair share are cut; no column gets less than its share.
        mins = [min(m, total / cols) for m in mins]
    widths = list(mins)
    open_cols = [c for c in range(cols) if maxs[c] > mins[c]]
    while open_cols:
        room = total - sum(widths)
        weight = sum(amount[c] for c in open_cols) or float(len(open_cols))
        capped = [c for c in open_cols
                  if widths[c] + room * (amount[c] or 1.0) / weight >= maxs[c]]
        if not capped:
            for c in open_cols:
                widths[c] += room * (amount[c] or 1.0) / weight
            break
        for c in capped:
            widths[c] = maxs[c]
            open_cols.remove(c)
    return widths


def table_atoms(header, rows, all_rows=None):
    """Atoms of a table: the header, then one per row. Columns are sized for `all_rows`
    (default: the table's own rows), so tables of one kind can share their widths."""
    widths = column_widths(header, rows if all_rows is None else all_rows)
    xs = [MARGIN_L]
    for w in widths:
        xs.append(xs[-1] + w)

    def layout(cells, st):
        out = []
        for c, cell in enumerate(cells):
            inner = widths[c] - 2 * CELL_PAD_X
            words = make_words(parse_inline(cell), st, min(KEEP_CODE_IN_CELL, inner))
            out.append(break_lines(words, st, inner))
        n = max([len(lines) for lines in out] + [1])
        return out, n * st.leading + 2 * CELL_PAD_Y

    def row_draw(cell_lines, height, st, fill, is_header):
        def draw(top):
            ops = []
            if fill is not None:
                ops.append(_rect(MARGIN_L, top - height, FRAME_W, height, fill))
            for c, lines in enumerate(cell_lines):
                y = top - CELL_PAD_Y
                for line in lines:
                    base = baseline_in(y, st)
                    ops += line_ops(line, st, xs[c] + CELL_PAD_X, base, code_boxes=False)
                    y -= st.leading
            if is_header:
                ops += [_hline(top, ACCENT, 0.9), _hline(top - height, ACCENT, 0.7)]
            else:
                ops.append(_hline(top - height, RULE_GREY + 0.1, 0.35))
            return ops
        return draw

    head_lines, head_h = layout(header, TABLE_HEAD)
    head = Atom(head_h, row_draw(head_lines, head_h, TABLE_HEAD, (0.90, 0.93, 0.97), True), 9.0,
                keep_with_next=True)
    atoms = [head]
    for r, cells in enumerate(rows):
        cell_lines, h = layout(cells, TABLE)
        fill = (0.965, 0.965, 0.965) if r % 2 == 1 else None
        atoms.append(Atom(h, row_draw(cell_lines, h, TABLE, fill, False), header=head))
    atoms.append(Atom(0.0, lambda top: [], 4.0))  # room after the table
    return atoms


def rule_atoms():
    return [Atom(12.0, lambda top: [_hline(top - 6.0, RULE_GREY, 0.6)], 4.0)]


def build_atoms(blocks):
    atoms = []
    title = None
    k = 0
    if blocks and blocks[0][0] == "heading" and blocks[0][1] == 1:
        title = "".join(t for t, _ in parse_inline(blocks[0][2]))
        subtitle = None
        k = 1
        if len(blocks) > 1 and blocks[1][0] == "para":
            subtitle = blocks[1][1]
            k = 2
        atoms += title_atoms(blocks[0][2], subtitle)
    # Tables with the same header share their column widths, so that a run of similar
    # tables lines up.
    same_header = {}
    for block in blocks:
        if block[0] == "table":
            same_header.setdefault(tuple(block[1]), []).extend(block[2])
    for block in blocks[k:]:
        kind = block[0]
        if kind == "heading":
            atoms += heading_atoms(block[1], block[2])
        elif kind == "para":
            atoms += text_atoms(block[1], BODY, space_before=6.0)
        elif kind == "list":
            atoms += list_atoms(block[1], block[2])
        elif kind == "code":
            atoms += code_atoms(block[1])
        elif kind == "table":
            atoms += table_atoms(block[1], block[2], same_header[tuple(block[1])])
        elif kind == "rule":
            atoms += rule_atoms()
    return atoms, title


def paginate(atoms):
    """Places atoms top-down; returns pages as operator lists and the bookmark targets."""
    pages = [[]]
    outline = []  # (level, title, page index, y)
    y = FRAME_TOP
    at_top = True
    frame_h = FRAME_TOP - FRAME_BOTTOM

    def chain_height(i):
        h, j = 0.0, i
        while True:
            h += atoms[j].height + (atoms[j].space_before if j > i else 0.0)
            if not atoms[j].keep_with_next or j + 1 >= len(atoms):
                return h
            j += 1

    i = 0
    while i < len(atoms):
        atom = atoms[i]
        space = 0.0 if at_top else atom.space_before
        need = space + chain_height(i)
        if not at_top and y - need < FRAME_BOTTOM and need <= frame_h:
            pages.append([])
            y, at_top = FRAME_TOP, True
            continue
        if not at_top and y - space - atom.height < FRAME_BOTTOM:
            pages.append([])
            y, at_top = FRAME_TOP, True
            continue
        if at_top and atom.header is not None and atom.header is not atoms[i - 1]:
            pages[-1] += atom.header.draw(y)
            y -= atom.header.height
            at_top = False
            space = 0.0
        y -= space
        if atom.outline is not None:
            outline.append(atom.outline + (len(pages) - 1, y))
        pages[-1] += atom.draw(y)
        y -= atom.height
        if atom.height > 0:
            at_top = False
        i += 1
    return pages, outline


def footer_ops(title, index, count):
    st = Style(8.5, 10.0, colour=MUTED_GREY)
    ops = [_hline(FOOTER_Y + 12.0, RULE_GREY, 0.5)]
    if title:
        ops += line_ops([[("r", to_winansi(title))]], st, MARGIN_L, FOOTER_Y, code_boxes=False)
    label = to_winansi("Page %d of %d" % (index + 1, count))
    right = MARGIN_L + FRAME_W - st.width(label, "r")
    ops += line_ops([[("r", label)]], st, right, FOOTER_Y, code_boxes=False)
    return ops


# ---------------------------------------------------------------------------------
# PDF writing.

def _pdf_text(text):
    """A PDF text string for metadata and bookmarks (PDFDocEncoding is close to WinAnsi
    for what a manual's headings hold)."""
    return "(" + _escape(to_winansi(text)) + ")"


def write_pdf(pages, outline, title):
    objects = {}  # number -> bytes of the object body

    font_ids = {}
    next_id = 3
    for res in sorted(FONT_NAME):
        font_ids[res] = next_id
        objects[next_id] = ("<< /Type /Font /Subtype /Type1 /BaseFont /%s /Encoding /WinAnsiEncoding >>"
                            % FONT_NAME[res]).encode("ascii")
        next_id += 1
    info_id = next_id
    next_id += 1
    objects[info_id] = ("<< /Title %s /Producer (tools/make_manual.py) >>"
                        % _pdf_text((title or "Manual") + " user manual")).encode("ascii")

    page_ids = []
    fonts = " ".join("/%s %d 0 R" % (res, font_ids[res]) for res in sorted(font_ids))
    for k, ops in enumerate(pages):
        stream = "\n".join(ops + footer_ops(title, k, len(pages))).encode("ascii") + b"\n"
        content_id, page_id = next_id, next_id + 1
        next_id += 2
        objects[content_id] = b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"endstream"
        objects[page_id] = ("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %s %s] /Resources << /Font << %s >> >> "
                            "/Contents %d 0 R >>" % (_fmt(PAGE_W), _fmt(PAGE_H), fonts, content_id)).encode("ascii")
        page_ids.append(page_id)
    objects[2] = ("<< /Type /Pages /Kids [%s] /Count %d >>"
                  % (" ".join("%d 0 R" % p for p in page_ids), len(page_ids))).encode("ascii")

    catalog = "<< /Type /Catalog /Pages 2 0 R"
    if outline:
        # Two levels: sections, and the subsections under the section before them.
        root_id = next_id
        next_id += 1
        items = []  # [id, level, title, page, y, parent index, children]
        for level, text, page, y in outline:
            parent = None
            if level == 1:
                for j in range(len(items) - 1, -1, -1):
                    if items[j][1] == 0:
                        parent = j
                        break
            items.append([next_id, 0 if parent is None else 1, text, page, y, parent, []])
            if parent is not None:
                items[parent][6].append(len(items) - 1)
            next_id += 1
        top = [j for j, it in enumerate(items) if it[5] is None]

        def siblings_of(j):
            parent = items[j][5]
            return top if parent is None else items[parent][6]

        for j, it in enumerate(items):
            sib = siblings_of(j)
            pos = sib.index(j)
            parent_ref = root_id if it[5] is None else items[it[5]][0]
            parts = ["/Title %s" % _pdf_text(it[2]), "/Parent %d 0 R" % parent_ref,
                     "/Dest [%d 0 R /XYZ %s %s null]" % (page_ids[it[3]], _fmt(MARGIN_L - 10), _fmt(it[4] + 6))]
            if pos > 0:
                parts.append("/Prev %d 0 R" % items[sib[pos - 1]][0])
            if pos + 1 < len(sib):
                parts.append("/Next %d 0 R" % items[sib[pos + 1]][0])
            if it[6]:
                parts.append("/First %d 0 R /Last %d 0 R /Count -%d" % (
                    items[it[6][0]][0], items[it[6][-1]][0], len(it[6])))
            objects[it[0]] = ("<< %s >>" % " ".join(parts)).encode("ascii")
        objects[root_id] = ("<< /Type /Outlines /First %d 0 R /Last %d 0 R /Count %d >>" % (
            items[top[0]][0], items[top[-1]][0], len(top))).encode("ascii")
        catalog += " /Outlines %d 0 R" % root_id
    objects[1] = (catalog + " >>").encode("ascii")

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num in sorted(objects):
        offsets[num] = len(out)
        out += b"%d 0 obj\n" % num + objects[num] + b"\nendobj\n"
    count = max(objects) + 1
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % count
    for num in range(1, count):
        out += b"%010d 00000 n \n" % offsets[num]
    doc_id = hashlib.md5(bytes(out)).hexdigest().upper()
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Info %d 0 R /ID [<%s> <%s>] >>\nstartxref\n%d\n%%%%EOF\n"
            % (count, info_id, doc_id.encode("ascii"), doc_id.encode("ascii"), xref))
    return bytes(out)


def render(markdown_text):
    """The PDF bytes for the manual's Markdown text."""
    atoms, title = build_atoms(parse_blocks(markdown_text))
    pages, outline = paginate(atoms)
    return write_pdf(pages, outline, title)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make_manual.py MANUAL.md OUTPUT.pdf\n")
        return 2
    source, target = argv[1], argv[2]
    try:
        with open(source, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as e:
        sys.stderr.write("make_manual.py: cannot read %s: %s\n" % (source, e))
        return 1
    data = render(text)
    folder = os.path.dirname(os.path.abspath(target))
    try:
        fd, tmp = tempfile.mkstemp(prefix=".make_manual.", suffix=".pdf", dir=folder)
    except OSError as e:
        sys.stderr.write("make_manual.py: cannot write %s: %s\n" % (target, e))
        return 1
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(tmp, 0o644)
        os.replace(tmp, target)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
