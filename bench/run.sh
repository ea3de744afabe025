#!/usr/bin/env bash
# Times `gvtool convert` against iconv (and nkf) on two large Japanese texts in
# four directions each and checks that gvtool's output equals iconv's; then
# the converters alone in memory beside a memcpy of the same bytes.
#
#   bench/run.sh                 # 7 timed runs of each tool per direction
#   RUNS=11 MB=40 bench/run.sh   # more runs, larger files
#
# RUNS  timed runs of each tool per direction (default 7; one untimed warm-up first)
# MB    size of each Shift-JIS file in millions of bytes (default 24; the EUC-JP
#       and UTF-8 files are a little and up to half again larger)
# ONLY  run only the directions whose name contains this text (e.g. ONLY=utf8,
#       ONLY=dict)
#
# The texts: prose (make_text.py, mostly Japanese) and a dictionary
# (make_dict.py, about 60% ASCII). They are generated once into bench/data/
# (git-ignored) and kept while their size and generators are unchanged.
# Outputs go to bench/data/out/; each is removed before every run so that no
# tool pays for freeing the last run's file.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
data=$here/data
out=$data/out
runs=${RUNS:-7}
mb=${MB:-24}
only=${ONLY:-}
gvtool=$root/build/release/cli/gvtool

for tool in iconv python3 cmake; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is needed" >&2; exit 2; }
done
have_nkf=0
command -v nkf >/dev/null && have_nkf=1

# gvtool: configure the release build if needed, then bring gvtool up to date.
if [ ! -f "$root/build/release/build.ninja" ]; then
  (cd "$root" && cmake --preset release >/dev/null)
fi
(cd "$root" && cmake --build build/release --target gvtool >/dev/null)

# Inputs.
stamp="mb=$mb $(cat "$here/make_text.py" "$here/make_dict.py" | cksum | cut -d' ' -f1)"
if [ "$(cat "$data/stamp" 2>/dev/null)" != "$stamp" ] || [ ! -f "$data/text-utf8.txt" ] || [ ! -f "$data/dict-utf8.txt" ]; then
  echo "generating inputs (${mb} MB of Shift-JIS text each) in $data ..."
  rm -f "$data/stamp"
  python3 "$here/make_text.py" "$data" "$mb"
  python3 "$here/make_dict.py" "$data" "$mb"
  echo "$stamp" >"$data/stamp"
fi
mkdir -p "$out"

# Runs "$@" with the output file $1 removed first; prints the wall time in µs,
# read from bash's own clock (no process is started to read it).
time_one() {
  local target=$1
  shift
  rm -f "$target"
  local t0 t1 rc=0
  t0=${EPOCHREALTIME/[.,]/}
  "$@" || rc=$?
  t1=${EPOCHREALTIME/[.,]/}
  [ "$rc" = 0 ] || echo "run.sh: $1 exited with $rc" >&2
  echo $((t1 - t0))
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }

# Commands per tool: each writes its output to the file named by $1 from the input $2.
gv() { "$gvtool" convert --to "$GV_TO" -o "$1" "$2"; }
ic() { iconv -f "$IC_FROM" -t "$IC_TO" -o "$1" "$2"; }
nk() { nkf -x $NKF_OPTS "$2" >"$1"; }  # -x: keep half-width katakana as they are

printf '%-22s %9s %8s %9s %8s %9s %8s %13s\n' direction "gvtool s" "MB/s" "iconv s" "MB/s" "nkf s" "MB/s" "iconv/gvtool"

direction() {
  local name=$1 input=$2
  GV_TO=$3 IC_FROM=$4 IC_TO=$5 NKF_OPTS=$6
  [[ -z "$only" || "$name" == *"$only"* ]] || return 0
  local in=$data/$input bytes
  bytes=$(wc -c <"$in")
  local tools=(gv ic)
  [ "$have_nkf" = 1 ] && tools+=(nk)

  # Warm-up (reads the input into the page cache), then the check.
  local t
  for t in "${tools[@]}"; do time_one "$out/$name.$t" "$t" "$out/$name.$t" "$in" >/dev/null; done
  local verdict="same as iconv"
  cmp -s "$out/$name.gv" "$out/$name.ic" || verdict="DIFFERS FROM ICONV"

  # Timed runs, the tools taking turns so that drift of the machine's speed
  # hits them alike.
  declare -A times=()
  local r
  for ((r = 0; r < runs; ++r)); do
    for t in "${tools[@]}"; do
      times[$t]+="$(time_one "$out/$name.$t" "$t" "$out/$name.$t" "$in") "
    done
  done
  local -A med=()
  for t in "${tools[@]}"; do med[$t]=$(tr ' ' '\n' <<<"${times[$t]}" | grep . | median); done
  [ "$have_nkf" = 1 ] || med[nk]=0

  awk -v name="$name" -v bytes="$bytes" -v gv="${med[gv]}" -v ic="${med[ic]}" -v nk="${med[nk]}" -v verdict="$verdict" '
    function sec(us) { return us / 1e6 }
    function rate(us) { return us > 0 ? bytes / us : 0 }  # bytes per µs = MB/s
    BEGIN {
      nks = nk > 0 ? sprintf("%9.3f %8.0f", sec(nk), rate(nk)) : sprintf("%9s %8s", "-", "-")
      printf "%-22s %9.3f %8.0f %9.3f %8.0f %s %12.2fx  %s\n", name, sec(gv), rate(gv), sec(ic), rate(ic), nks, ic / gv, verdict
    }'
  [ "$verdict" = "same as iconv" ]
}

status=0
for text in text dict; do
  direction $text:eucjp-to-sjis $text-eucjp.txt sjis EUC-JP CP932 "-E -s" || status=1
  direction $text:utf8-to-sjis $text-utf8.txt sjis UTF-8 CP932 "-W -s" || status=1
  direction $text:sjis-to-utf8 $text-sjis.txt utf8 CP932 UTF-8 "-S -w" || status=1
  direction $text:sjis-to-utf16le $text-sjis.txt utf16le CP932 UTF-16LE "-S -w16L0" || status=1
done
echo "median wall time of $runs runs each; MB/s = input bytes / median time, 1 MB = 10^6 bytes"
echo "text: prose, mostly Japanese (make_text.py); dict: a dictionary, about 60% ASCII (make_dict.py)"

# The converters alone, in memory, beside a memcpy of the same Shift-JIS bytes.
bench=$root/build/release/bench/converters_bench
if (cd "$root" && cmake --build build/release --target converters_bench >/dev/null 2>&1) && [ -x "$bench" ]; then
  echo
  echo "in memory (converters_bench; GB/s of input, median of 5):"
  case "$only" in text | dict) filter="/$only\$" ;; *) filter=. ;; esac
  GV_BENCH_DATA=$data "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_filter="$filter" 2>/dev/null |
    awk '/_median/ {
      name = $1; sub(/_median$/, "", name)
      for (i = 2; i <= NF; ++i) if ($i ~ /^bytes_per_second=/) { rate = $i; sub(/bytes_per_second=/, "", rate) }
      printf "  %-28s %s\n", name, rate
    }'
fi
exit $status
