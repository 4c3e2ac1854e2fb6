#!/bin/sh
# Checks the user manual: docs/Vantelle.pdf must be a PDF that tools/make_manual.py makes
# from docs/manual.md byte for byte, and the generator must keep its promises (same bytes
# every run, text inside the page frame, table rows never split, fonts and encoding as
# declared, every plot parameter and preset documented).
# Usage: tests/docs/check_manual.sh            (from anywhere; finds the tree itself)
set -eu

root=$(CDPATH= cd -- "$(dirname -- "$0")/../.." && pwd)
tool="$root/tools/make_manual.py"
source_md="$root/docs/manual.md"
committed="$root/docs/Vantelle.pdf"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/check_manual.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT PIPE TERM

fail() {
  echo "check_manual: $*" >&2
  exit 1
}

[ -f "$committed" ] || fail "docs/Vantelle.pdf is missing: run make manual"
[ "$(head -c 5 "$committed")" = "%PDF-" ] || fail "docs/Vantelle.pdf does not start with %PDF-"
case $(tail -c 16 "$committed" | tr -d '\r\n') in
  *%%EOF) ;;
  *) fail "docs/Vantelle.pdf does not end with %%EOF" ;;
esac

python3 "$tool" "$source_md" "$tmp/first.pdf" || fail "tools/make_manual.py failed"
if ! cmp -s "$tmp/first.pdf" "$committed"; then
  echo "docs/Vantelle.pdf is out of date: run make manual" >&2
  exit 1
fi

# A second run must give the same bytes (no clock, no random IDs, no dict-order luck).
python3 "$tool" "$source_md" "$tmp/second.pdf" || fail "tools/make_manual.py failed on the second run"
cmp -s "$tmp/first.pdf" "$tmp/second.pdf" || fail "two runs of tools/make_manual.py gave different bytes"

# Bad usage: a missing input fails with 1 and writes nothing; a wrong argument count gives 2.
status=0
python3 "$tool" "$tmp/no-such.md" "$tmp/out.pdf" 2>/dev/null || status=$?
[ "$status" -eq 1 ] || fail "a missing input gave exit status $status, not 1"
[ ! -e "$tmp/out.pdf" ] || fail "a missing input still wrote the output file"
status=0
python3 "$tool" "$source_md" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a missing output argument gave exit status $status, not 2"
leftovers=$(find "$tmp" -name '.make_manual.*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "tools/make_manual.py left temporary files behind"

python3 - "$root" <<'PYTHON' || exit 1
import json
import os
import re
import sys

root = sys.argv[1]
sys.path.insert(0, os.path.join(root, "tools"))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import make_manual as mm  # noqa: E402

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def objects_of(pdf):
    text = pdf.decode("latin-1")
    return {int(n): body for n, body in re.findall(r"(?s)(\d+) 0 obj\n(.*?)\nendobj\n", text)}


def unescape(s):
    out, i = bytearray(), 0
    while i < len(s):
        c = s[i]
        if c == "\\":
            nxt = s[i + 1]
            if nxt.isdigit():
                out.append(int(s[i + 1:i + 4], 8))
                i += 4
                continue
            out.append(ord(nxt))
            i += 2
            continue
        out.append(ord(c))
        i += 1
    return bytes(out)


RUN = re.compile(r"BT /(F\d) ([\d.]+) Tf 1 0 0 1 (-?[\d.]+) (-?[\d.]+) Tm \(((?:\\.|[^\\)])*)\) Tj ET")


def pages_of(pdf, name):
    """For every page in order: its text runs as (font, size, x, y, bytes)."""
    objs = objects_of(pdf)
    kids = re.search(r"/Kids \[([^\]]*)\]", objs[2]).group(1)
    page_ids = [int(n) for n in re.findall(r"(\d+) 0 R", kids)]
    count = int(re.search(r"/Count (\d+)", objs[2]).group(1))
    check(count == len(page_ids), "%s: /Count %d but %d kids" % (name, count, len(page_ids)))
    pages = []
    for pid in page_ids:
        check("/Type /Page " in objs[pid], "%s: object %d is not a page" % (name, pid))
        check("/MediaBox [0 0 595.28 841.89]" in objs[pid], "%s: page %d is not A4" % (name, pid))
        cid = int(re.search(r"/Contents (\d+) 0 R", objs[pid]).group(1))
        body = objs[cid]
        length = int(re.search(r"/Length (\d+)", body).group(1))
        stream = body.split("stream\n", 1)[1]
        check(len(stream) == length + len("endstream"), "%s: wrong /Length in object %d" % (name, cid))
        runs = [(f, float(s), float(x), float(y), unescape(t)) for f, s, x, y, t in RUN.findall(stream)]
        check(stream.count(" Tj") == len(runs), "%s: a text run of object %d was not understood" % (name, cid))
        pages.append(runs)
    return pages


def check_structure(pdf, name):
    check(pdf.startswith(b"%PDF-1.4\n"), name + ": bad header")
    check(pdf.endswith(b"%%EOF\n"), name + ": bad end")
    startxref = int(re.search(rb"startxref\n(\d+)\n%%EOF\n$", pdf).group(1))
    check(pdf[startxref:startxref + 5] == b"xref\n", name + ": startxref does not point at the xref table")
    table = pdf[startxref:].split(b"trailer")[0].split(b"\n")
    first, count = (int(v) for v in table[1].split())
    check(first == 0, name + ": xref does not start at object 0")
    for num in range(1, count):
        offset = int(table[2 + num][:10])
        check(pdf[offset:].startswith(b"%d 0 obj\n" % num), "%s: xref offset of object %d is wrong" % (name, num))
    text = pdf.decode("latin-1")
    for font in ("Helvetica", "Helvetica-Bold", "Courier", "Helvetica-Oblique"):
        check("/BaseFont /%s /Encoding /WinAnsiEncoding" % font in text, "%s: font %s missing" % (name, font))
    check("/FontFile" not in text, name + ": fonts must not be embedded")
    check("CreationDate" not in text and "ModDate" not in text, name + ": the PDF carries a date")
    check(all(b < 128 for b in pdf[15:]), name + ": bytes outside ASCII after the header comment")


def check_frame(pages, name):
    """Every text run lies inside the frame; only the footer sits below it."""
    for k, runs in enumerate(pages):
        for font, size, x, y, data in runs:
            w = mm.text_width(data, font, size)
            where = "%s page %d: %r" % (name, k + 1, data[:40])
            check(x >= mm.MARGIN_L - 0.01, where + " starts left of the margin")
            check(x + w <= mm.PAGE_W - mm.MARGIN_R + 0.01, where + " runs past the right margin")
            check(y <= mm.FRAME_TOP, where + " is above the frame")
            check(y >= mm.FRAME_BOTTOM or abs(y - mm.FOOTER_Y) < 0.01, where + " is below the frame")
        footer = b"".join(d for _, _, _, y, d in runs if abs(y - mm.FOOTER_Y) < 0.01)
        check(b"Page %d of %d" % (k + 1, len(pages)) in footer, "%s page %d: no page number" % (name, k + 1))


# The committed manual.
with open(os.path.join(root, "docs", "Vantelle.pdf"), "rb") as f:
    manual_pdf = f.read()
check_structure(manual_pdf, "Vantelle.pdf")
manual_pages = pages_of(manual_pdf, "Vantelle.pdf")
check(3 <= len(manual_pages) <= 6, "the manual has %d pages, not 3 to 6" % len(manual_pages))
check_frame(manual_pages, "Vantelle.pdf")

# Every parameter of every object's description is in the manual's tables under the
# label that the attribute manager shows, and so is every entry of its menus.
with open(os.path.join(root, "docs", "manual.md"), encoding="utf-8") as f:
    manual_md = f.read()
folder = os.path.join(root, "res", "description")
names = sorted(n for n in os.listdir(folder) if n.endswith(".json"))
check("osurfo.json" in names, "res/description/osurfo.json is missing")
for file_name in names:
    with open(os.path.join(folder, file_name), encoding="utf-8") as f:
        description = json.load(f)
    for param in description["parameters"]:
        row = "| %s | `%s` |" % (param.get("label", ""), param["name"])
        check(row in manual_md, "manual.md has no table row beginning " + row)
        for _, entry in param.get("popup", []):
            shown = "`%s`" % entry if param["name"] == "SURFO_PRESET" else entry
            check(shown in manual_md, "manual.md does not mention %s of %s" % (shown, param["name"]))

# Metrics: a complete WinAnsi table and the widths every Helvetica shares.
winansi = set(range(32, 127)) | (set(range(128, 256)) - {129, 141, 143, 144, 157})
for font in ("F1", "F2", "F3", "F4"):
    check(set(mm.WIDTHS[font]) == winansi, font + ": width table does not cover WinAnsi exactly")
for font in ("F1", "F2"):
    check(all(mm.WIDTHS[font][c] == 556 for c in range(48, 58)), font + ": digits are not 556 wide")
    check(mm.WIDTHS[font][32] == 278 and mm.WIDTHS[font][ord("W")] == 944, font + ": space or W wrong")
check(mm.text_width(b"Helvetica", "F1", 1000) == 4112, "Helvetica width of 'Helvetica' wrong")
check(mm.text_width(b"Bold mix", "F2", 1000) == 4223, "Helvetica-Bold width of 'Bold mix' wrong")
check(mm.text_width(b"any text", "F3", 10) == 48, "Courier is not 600 units a glyph")
# WinAnsi puts quotesingle and grave at 39 and 96, where other encodings have curly quotes.
check([mm.WIDTHS["F1"][c] for c in (39, 96, 94)] == [191, 333, 469], "Helvetica ' ` ^ widths wrong")
check([mm.WIDTHS["F2"][c] for c in (39, 96, 94)] == [238, 333, 584], "Helvetica-Bold ' ` ^ widths wrong")
check(mm.WIDTHS["F4"] == mm.WIDTHS["F1"], "Helvetica-Oblique must share Helvetica's widths")
check(mm.to_winansi("a\u2014b \u00b2 \u2212 \u03c0 \u4e2d") == b"a\x97b \xb2 - pi ?", "WinAnsi mapping wrong")

# Markdown details that are easy to get wrong.
check(mm.parse_inline("a **b** `c * d` *e* \\*f\\*") ==
      [("a ", "r"), ("b", "b"), (" ", "r"), ("c * d", "c"), (" ", "r"), ("e", "i"), (" *f*", "r")],
      "inline parsing wrong")
check(mm.parse_inline("x * y") == [("x * y", "r")], "a lone '*' must stay text")
check(mm.split_table_row("| `a | b` | c \\| d |") == ["`a | b`", "c \\| d"], "table cell splitting wrong")
blocks = mm.parse_blocks("# T\n\nSub\n\n- one\n  more\n- two\n\n1. x\n\n```\ncode |\n```\n\n| h |\n|---|\n| v |\n")
check([b[0] for b in blocks] == ["heading", "para", "list", "list", "code", "table"], "block parsing wrong")
check(blocks[2] == ("list", False, ["one more", "two"]), "list continuation lines not joined")

# A document built to stress the layout: a long table with tall rows, a word wider than
# its cell, a code line wider than the page, characters outside WinAnsi and PDF string delimiters.
rows = []
for n in range(80):
    rows.append("| Zq%02d | %s |" % (n, " ".join(["Zq%02d filler words that wrap" % n] * (2 + n % 6))))
stress = "\n".join([
    "# Stress", "", "Subtitle (with) back\\\\slash", "", "## Table", "",
    "| Hdrcol | Body |", "|---|---|", *rows, "",
    "| a | b | c |", "|---|---|---|",
    "| " + "W" * 120 + " | `" + "Courier_" * 30 + "` | \u03c0 \u4e2d (x) \\\\ |", "",
    "```", "C" * 200, "```", "",
])
stress_pdf = mm.render(stress)
check(stress_pdf == mm.render(stress), "the same input rendered twice differs")
check_structure(stress_pdf, "stress")
stress_pages = pages_of(stress_pdf, "stress")
check(len(stress_pages) > 2, "the stress document should span several pages")
check_frame(stress_pages, "stress")
page_text = [b" ".join(d for _, _, _, _, d in runs) for runs in stress_pages]
for n in range(80):
    marker = b"Zq%02d" % n
    on = [k for k, t in enumerate(page_text) if marker in t]
    check(len(on) == 1, "table row %s is split over pages %s" % (marker.decode(), on))
    if on:
        check(b"Hdrcol" in page_text[on[0]], "page %d continues a table without its header" % (on[0] + 1))
everything = b" ".join(page_text)
check(b"pi ? (x) \\" in everything, "unusual characters were not carried through as text")
check(b"Subtitle (with) back\\slash" in everything, "parentheses or backslash lost in the subtitle")
check(everything.count(b"W") >= 120 and everything.count(b"C") >= 200, "text of a too-wide word was lost")

# Headings stay with what follows them: no page may end with a heading.
sections = []
for n in range(40):
    sections += ["## Heading %d" % n, "", " ".join(["Some words of section %d." % n] * (3 + (n * 7) % 11)), ""]
sections_pdf = mm.render("\n".join(sections))
for k, runs in enumerate(pages_of(sections_pdf, "sections")):
    body = [r for r in runs if abs(r[3] - mm.FOOTER_Y) > 0.01]
    last = min(body, key=lambda r: r[3])
    check(not last[4].startswith(b"Heading"), "sections page %d ends with a heading" % (k + 1))

if failures:
    for message in failures[:40]:
        print("check_manual: " + message, file=sys.stderr)
    if len(failures) > 40:
        print("check_manual: ... and %d more" % (len(failures) - 40), file=sys.stderr)
    sys.exit(1)
PYTHON

echo "check_manual: docs/Vantelle.pdf is up to date and well formed"
