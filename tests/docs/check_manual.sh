#!/bin/sh
# Checks the user manual: docs/Vantelle.pdf must be built from docs/manual.md as it is now
# (the PDF records its source's SHA-256), carry every word of it, and document every
# parameter; the build script must keep its promises (A4 pages, text inside the margins,
# table headers repeated on every page a table runs onto, a clear failure that leaves the
# old file alone).
# Usage: tests/docs/check_manual.sh            (from anywhere; finds the tree itself)
set -eu

root=$(CDPATH= cd -- "$(dirname -- "$0")/../.." && pwd)
tool="$root/tools/manual/make_manual.sh"
source_md="$root/docs/manual.md"
committed="$root/docs/Vantelle.pdf"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/check_manual.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' HUP INT PIPE TERM

fail() {
  echo "check_manual: $*" >&2
  exit 1
}

# The keywords of a PDF name the SHA-256 of the source it was built from.
recorded_hash() {
  pdfinfo "$1" | sed -n 's/^Keywords: *source-sha256 \([0-9a-f]\{64\}\)$/\1/p'
}

# The words (letters, digits, underscores) of a text, one per line, each once.
words() {
  tr -c 'A-Za-z0-9_\n' '\n' | grep . | sort -u
}

# Every word lies between the 2 cm margins of an A4 page (595 x 842 points), give or take
# what a viewer's stand-in fonts change.
check_margins() {
  pdftotext -bbox "$1" - | awk -v name="$2" '
    /<page / { page++; if ($0 !~ /width="595[.0-9]*" height="842[.0-9]*"/) { print name ": page " page " is not A4"; bad = 1 } }
    /<word / {
      match($0, /xMin="[-0-9.]+"/); x0 = substr($0, RSTART + 6, RLENGTH - 7) + 0
      match($0, /xMax="[-0-9.]+"/); x1 = substr($0, RSTART + 6, RLENGTH - 7) + 0
      if (x0 < 54 || x1 > 541) { print name ": page " page ": a word runs outside the margins: " $0; bad = 1 }
    }
    END { exit bad }' >&2 || fail "$2 has text outside its margins"
}

[ -f "$committed" ] || fail "docs/Vantelle.pdf is missing: run make manual"
[ "$(head -c 5 "$committed")" = "%PDF-" ] || fail "docs/Vantelle.pdf does not start with %PDF-"
want=$(sha256sum < "$source_md" | cut -d ' ' -f 1)
have=$(recorded_hash "$committed")
if [ "$have" != "$want" ]; then
  echo "check_manual: docs/Vantelle.pdf was not built from docs/manual.md as it is now: run make manual" >&2
  exit 1
fi

# Nothing of the source is lost on the way: every word reaches the PDF's text.
pandoc "$source_md" --to plain | words > "$tmp/source.words"
pdftotext "$committed" - | words > "$tmp/pdf.words"
missing=$(comm -23 "$tmp/source.words" "$tmp/pdf.words" | head -20 | tr '\n' ' ')
[ -z "$missing" ] || fail "docs/Vantelle.pdf lacks words of docs/manual.md: $missing"
pages=$(pdfinfo "$committed" | sed -n 's/^Pages: *//p')
[ "$pages" -ge 4 ] && [ "$pages" -le 10 ] || fail "the manual has $pages pages, not 4 to 10"
check_margins "$committed" "docs/Vantelle.pdf"

# The build script: same source, same record; a failure leaves the output as it was.
"$tool" "$source_md" "$tmp/manual.pdf" || fail "make_manual.sh failed on docs/manual.md"
[ "$(recorded_hash "$tmp/manual.pdf")" = "$want" ] || fail "a fresh build does not record the source's hash"
echo "keep me" > "$tmp/old.pdf"
status=0
"$tool" "$tmp/no-such.md" "$tmp/old.pdf" 2> /dev/null || status=$?
[ "$status" -eq 1 ] || fail "a missing source gave exit status $status, not 1"
[ "$(cat "$tmp/old.pdf")" = "keep me" ] || fail "a failed build changed the output"
status=0
"$tool" "$source_md" 2> /dev/null || status=$?
[ "$status" -eq 2 ] || fail "a missing output argument gave exit status $status, not 2"
# A word too wide for any column would run past the margin: refused, not printed so.
printf '| a | b |\n|---|---|\n| %s | x |\n' "$(printf 'W%.0s' $(seq 150))" > "$tmp/wide.md"
status=0
"$tool" "$tmp/wide.md" "$tmp/old.pdf" 2> "$tmp/wide.err" || status=$?
[ "$status" -eq 1 ] && grep -q "wider than" "$tmp/wide.err" || fail "a table wider than the page was not refused"
[ "$(cat "$tmp/old.pdf")" = "keep me" ] || fail "a refused build changed the output"
leftovers=$(find "$tmp" -name '.make_manual.*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "make_manual.sh left temporary files behind"

# A long table of tall rows and long code: its header starts every page it runs onto, and
# every column stays inside the margins.
{
  printf '# Stress\n\n| Hdrcol | `ID_NAME` | Meaning |\n|---|---|---|\n'
  for n in $(seq 10 89); do
    printf '| Zq%s | `SURFOLABEL_LEGENDROTATION_%s` |' "$n" "$n"
    for k in $(seq 0 $((n % 6))); do printf ' filler words that wrap %s' "$k"; done
    printf ' |\n'
  done
  printf '\n```\n%s\n```\n' "vantelle plot [FORMULA] [--set NAME=VALUE]... [--frame F] [--fps N] [--json] [-o FILE]"
} > "$tmp/stress.md"
"$tool" "$tmp/stress.md" "$tmp/stress.pdf" || fail "make_manual.sh failed on a long table"
check_margins "$tmp/stress.pdf" "the long table"
stress_pages=$(pdfinfo "$tmp/stress.pdf" | sed -n 's/^Pages: *//p')
[ "$stress_pages" -ge 3 ] || fail "the long table should span several pages, not $stress_pages"
for page in $(seq 1 "$stress_pages"); do
  pdftotext -f "$page" -l "$page" "$tmp/stress.pdf" "$tmp/page$page.txt"
  if grep -q Zq "$tmp/page$page.txt" && ! grep -q Hdrcol "$tmp/page$page.txt"; then
    fail "page $page of the long table has no header"
  fi
done
for n in $(seq 10 89); do
  on=$(grep -l "Zq$n" "$tmp"/page*.txt | wc -l)
  [ "$on" -eq 1 ] || fail "table row Zq$n is on $on pages"
done

# Every parameter of every object's description is in the manual's tables under the label
# that the attribute manager shows, and so is every entry of its menus.
python3 - "$root" <<'PYTHON' || exit 1
import json
import os
import sys

root = sys.argv[1]
with open(os.path.join(root, "docs", "manual.md"), encoding="utf-8") as f:
    manual_md = f.read()
folder = os.path.join(root, "res", "description")
names = sorted(n for n in os.listdir(folder) if n.endswith(".json"))
failures = []
if "osurfo.json" not in names:
    failures.append("res/description/osurfo.json is missing")
for file_name in names:
    with open(os.path.join(folder, file_name), encoding="utf-8") as f:
        description = json.load(f)
    for param in description["parameters"]:
        row = "| %s | `%s` |" % (param.get("label", ""), param["name"])
        if row not in manual_md:
            failures.append("manual.md has no table row beginning " + row)
        for _, entry in param.get("popup", []):
            shown = "`%s`" % entry if param["name"] == "SURFO_PRESET" else entry
            if shown not in manual_md:
                failures.append("manual.md does not mention %s of %s" % (shown, param["name"]))
for message in failures:
    print("check_manual: " + message, file=sys.stderr)
sys.exit(1 if failures else 0)
PYTHON

echo "check_manual: docs/Vantelle.pdf is up to date and well formed"
