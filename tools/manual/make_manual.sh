#!/bin/sh
# Builds the user manual: Markdown through pandoc to groff's ms macros, set as PDF by
# groff. The PDF records the SHA-256 of its source among its keywords, so a check can tell
# whether it is up to date without building it again.
# Usage: tools/manual/make_manual.sh SOURCE.md OUTPUT.pdf
# Exit status: 0 written, 1 failed (the output is then untouched), 2 bad usage.
set -eu

if [ $# -ne 2 ]; then
  echo "usage: make_manual.sh SOURCE.md OUTPUT.pdf" >&2
  exit 2
fi
here=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd)
source_md=$1
output=$2
if [ ! -f "$source_md" ] || [ ! -r "$source_md" ]; then
  echo "make_manual: cannot read $source_md" >&2
  exit 1
fi
hash=$(sha256sum < "$source_md" | cut -d ' ' -f 1)

# Written beside the output and renamed over it, so a failure leaves the old manual whole.
tmp=$(mktemp "$(dirname -- "$output")/.make_manual.XXXXXX")
trap 'rm -f "$tmp" "$tmp.ms" "$tmp.log"' EXIT
trap 'exit 1' HUP INT PIPE TERM

# The date of the source's last commit, so that building twice gives the same bytes.
if date=$(git -C "$(dirname -- "$source_md")" log -1 --format=%ct -- "$(basename -- "$source_md")" 2>/dev/null) &&
  [ -n "$date" ]; then
  SOURCE_DATE_EPOCH=$date
  export SOURCE_DATE_EPOCH
fi

pandoc "$source_md" --from markdown --to ms --standalone \
  --template "$here/manual.ms" --lua-filter "$here/ms_layout.lua" \
  --variable source-sha256="$hash" --output "$tmp.ms"
groff -ms -mpdfmark -t -k -KUTF-8 -Tpdf -P-pa4 "$tmp.ms" > "$tmp" 2> "$tmp.log"
# Any warning means a line ran past the margin or a glyph is missing: fix the source.
if [ -s "$tmp.log" ]; then
  sed 's/^/make_manual: /' "$tmp.log" >&2
  exit 1
fi
chmod 644 "$tmp"
mv -f "$tmp" "$output"
