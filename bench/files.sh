#!/usr/bin/env bash
# Times loading and saving a large document against iconv converting the same
# file, and measures gvtool load's peak resident memory.
#
#   bench/files.sh               # 5 timed runs of each command
#   RUNS=9 bench/files.sh
#
# The input is a Shift-JIS document of 1,600,000 lines (the most the editor
# holds: every line ends in CR LF but the last) and about 100 MB, generated
# once into bench/data/ by make_lines.py. gvtool roundtrip's outputs must
# equal iconv's byte for byte.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
data=$here/data
out=$data/out
runs=${RUNS:-5}
gvtool=$root/build/release/cli/gvtool
input=$data/lines-1600000.txt

for tool in iconv python3 cmake; do
  command -v "$tool" >/dev/null || { echo "files.sh: $tool is needed" >&2; exit 2; }
done
if [ ! -f "$root/build/release/build.ninja" ]; then
  (cd "$root" && cmake --preset release >/dev/null)
fi
(cd "$root" && cmake --build build/release --target gvtool >/dev/null)
mkdir -p "$data" "$out"
. "$here/common.sh"
gv_lines_document "$input"

time_one() {
  local t0 t1 rc=0
  t0=${EPOCHREALTIME/[.,]/}
  "$@" >/dev/null || rc=$?
  t1=${EPOCHREALTIME/[.,]/}
  [ "$rc" = 0 ] || echo "files.sh: $1 exited with $rc" >&2
  echo $((t1 - t0))
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }

gv_load() { "$gvtool" load "$input"; }
ic_utf8() { iconv -f CP932 -t UTF-8 -o "$out/ic.utf8" "$input"; }
gv_utf8() { "$gvtool" roundtrip "$input" "$out/gv.utf8" --to utf8; }
ic_utf16() { iconv -f CP932 -t UTF-16LE -o "$out/ic.utf16" "$input"; }
gv_utf16() { "$gvtool" roundtrip "$input" "$out/gv.utf16" --to utf16le; }
commands=(gv_load ic_utf8 gv_utf8 ic_utf16 gv_utf16)

for c in "${commands[@]}"; do time_one "$c" >/dev/null; done  # warm-up
status=0
cmp -s "$out/gv.utf8" "$out/ic.utf8" || { echo "files.sh: roundtrip to UTF-8 differs from iconv" >&2; status=1; }
cmp -s "$out/gv.utf16" "$out/ic.utf16" || { echo "files.sh: roundtrip to UTF-16LE differs from iconv" >&2; status=1; }

declare -A times=()
for ((r = 0; r < runs; ++r)); do
  for c in "${commands[@]}"; do times[$c]+="$(time_one "$c") "; done
done
declare -A med=()
for c in "${commands[@]}"; do med[$c]=$(tr ' ' '\n' <<<"${times[$c]}" | grep . | median); done

rss=$( { /usr/bin/time -f '%M' "$gvtool" load "$input" >/dev/null; } 2>&1 | tail -1)
bytes=$(wc -c <"$input")
echo "input: $(($(wc -l <"$input") + 1)) lines, $bytes bytes; median wall time of $runs runs"
printf '%-34s %9s\n' command seconds
for c in "${commands[@]}"; do printf '%-34s %9.3f\n' "$c" "$(awk -v us="${med[$c]}" 'BEGIN{print us/1e6}')"; done
awk -v a="${med[ic_utf8]}" -v b="${med[gv_load]}" 'BEGIN{printf "iconv to UTF-8 / gvtool load:      %.2fx\n", a/b}'
awk -v a="${med[ic_utf8]}" -v b="${med[gv_utf8]}" 'BEGIN{printf "iconv / gvtool roundtrip UTF-8:    %.2fx\n", a/b}'
awk -v a="${med[ic_utf16]}" -v b="${med[gv_utf16]}" 'BEGIN{printf "iconv / gvtool roundtrip UTF-16LE: %.2fx\n", a/b}'
echo "gvtool load peak resident memory: $rss KiB"
exit $status
