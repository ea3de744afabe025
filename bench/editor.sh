#!/usr/bin/env bash
# The editor's moves on the 1,600,000-line document: in the core
# (editor_bench), and as whole `gvtool edit` processes beside `gvtool load` of
# the same file (what a move costs beyond loading).
#   bench/editor.sh            RUNS=9 by default
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
data=$here/data
runs=${RUNS:-9}
gvtool=$root/build/release/cli/gvtool
input=$data/lines-1600000.txt

for tool in python3 cmake; do
  command -v "$tool" >/dev/null || { echo "editor.sh: $tool is needed" >&2; exit 2; }
done
if [ ! -f "$root/build/release/build.ninja" ]; then
  (cd "$root" && cmake --preset release >/dev/null)
fi
(cd "$root" && cmake --build build/release --target gvtool editor_bench >/dev/null)
mkdir -p "$data"
. "$here/common.sh"
gv_lines_document "$input"

echo "== in the core (median of $runs, milliseconds)"
"$root/build/release/bench/editor_bench" "$input" "$runs"

time_one() {
  local t0 t1
  t0=${EPOCHREALTIME/[.,]/}
  "$@" >/dev/null || { echo "editor.sh: '$*' failed" >&2; return 1; }
  t1=${EPOCHREALTIME/[.,]/}
  echo $((t1 - t0))
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }

# Each command, in turns, RUNS times. The 1,000 Page Downs go as one -e of
# 1,000 lines.
names=(load ctrl_end ctrl_home page_down_1000 jump_800000 next_bookmark)
pages=$(for _ in $(seq 1000); do echo "key PageDown"; done)
run() {
  case $1 in
    load) "$gvtool" load "$input" ;;
    ctrl_end) "$gvtool" edit -e "key Ctrl+End" "$input" ;;
    ctrl_home) "$gvtool" edit -e "key Ctrl+End" -e "key Ctrl+Home" "$input" ;;
    page_down_1000) "$gvtool" edit -e "$pages" "$input" ;;
    jump_800000) "$gvtool" edit -e "input 800000" -e JUMP "$input" ;;
    next_bookmark) "$gvtool" edit -e "key Ctrl+End" -e "input last" -e BOOKMARK -e "key Ctrl+Home" -e NEXTBOOKMARK "$input" ;;
  esac
}
# Where each command must leave the caret (a page is 40 lines here); the first
# run of each, untimed, is checked against it and warms the page cache.
declare -A want=(
  [load]="lines=1600000 " [ctrl_end]="caret=1600000:" [ctrl_home]="caret=1:1 " [page_down_1000]="caret=40001:1 "
  [jump_800000]="caret=800000:1 " [next_bookmark]="caret=1600000:1 "
)
for n in "${names[@]}"; do
  got=$(run "$n") || { echo "editor.sh: $n failed" >&2; exit 1; }
  last=$(tail -n 1 <<<"$got")
  if [[ $last != "${want[$n]}"* ]]; then
    echo "editor.sh: $n ended with '$last', not '${want[$n]}...'" >&2
    exit 1
  fi
done
declare -A times
for _ in $(seq "$runs"); do
  for n in "${names[@]}"; do times[$n]+="$(time_one run "$n") "; done
done
echo "== whole gvtool processes (median of $runs, milliseconds)"
load_us=$(tr ' ' '\n' <<<"${times[load]}" | grep . | median)
for n in "${names[@]}"; do
  us=$(tr ' ' '\n' <<<"${times[$n]}" | grep . | median)
  awk -v n="$n" -v us="$us" -v load="$load_us" 'BEGIN { printf "%-16s %8.1f   beyond load %7.1f\n", n, us / 1000, (us - load) / 1000 }'
done
