#!/usr/bin/env bash
# Installs what is missing, builds, and shows the character-code library at
# work on the bundled sample documents: natively, and as the Windows programs
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh >/dev/null
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
for tree in release win64; do
  cmake --preset "$tree" >/dev/null
  cmake --build "build/$tree" -j "$(nproc)" >/dev/null
done
gvtool=build/release/cli/gvtool

echo "== What each sample document is written in (code, line end, file):"
"$gvtool" detect samples/sample-*.txt

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo
echo "== The EUC-JP sample, read into Shift-JIS and written out as UTF-8:"
"$gvtool" convert --to utf8 -o "$out/sample.txt" samples/sample-eucjp.txt
tr -d '\r' <"$out/sample.txt"
echo
echo
echo "== Round trips of the Shift-JIS sample through every form:"
for form in sjis eucjp utf8 utf8bom utf16le utf16lebom utf16be utf16bebom; do
  "$gvtool" convert --to "$form" -o "$out/$form.txt" samples/sample-sjis.txt
  "$gvtool" convert --to sjis -o "$out/$form.back" "$out/$form.txt"
  if cmp -s "$out/$form.back" samples/sample-sjis.txt; then verdict="same text back"; else verdict="DIFFERS"; fi
  printf '  %-11s %5d bytes  %s\n' "$form" "$(stat -c %s "$out/$form.txt")" "$verdict"
done

echo
echo "== The same with the Windows build under Wine (gvtool.exe over QORVchar's code):"
scripts/wine-run.sh build/win64 120 build/win64/bin/gvtool.exe detect samples/sample-utf16lebom.txt samples/sample-eucjp.txt
