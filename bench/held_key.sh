#!/usr/bin/env bash
# Under Wine (and Xvfb): a held Down key (50 key-downs, 33 ms apart) on the
# 1,600,000-line document and on the bundled sample (as many as it has lines
# to go down); prints how long after the last key-down the status bar shows the
# caret's final line.
#   bench/held_key.sh            PRESSES=50 INTERVAL=33 RUNS=3
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
data=$here/data
presses=${PRESSES:-50}
interval=${INTERVAL:-33}
runs=${RUNS:-3}
lines=$data/lines-1600000.txt
. "$here/common.sh"
gv_lines_document "$lines"
gv_build_editor_win64 "$root" held_key
# The caret must move on every key-down, so a file of fewer lines gets fewer
# of them (the sample has 13 lines: 12). Loading the large file here also
# brings it into the page cache.
sample=$root/samples/sample-sjis.txt
declare -A keys
for file in "$sample" "$lines"; do
  count=$("$root/scripts/wine-run.sh" "$root/build/win64" 120 "$root/build/win64/bin/gvtool.exe" load "$file" |
    sed -n 's/^lines=\([0-9]*\).*/\1/p')
  [ -n "$count" ] || { echo "held_key.sh: gvtool load $file failed" >&2; exit 1; }
  keys[$file]=$((count - 1 < presses ? count - 1 : presses))
done

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<INNER
. "$here/common.sh"
gv_wine_session "$root" || exit 1
ed="\$(z "$root/build/win64/bin/Gorvane_0174.exe")"
sleep 600 | "\$w" cmd.exe /c pause >/dev/null 2>&1 &
keeper=\$!
sleep 2
failed=0
measure() {  # file key-downs
  for run in \$(seq $runs); do
    printf '%-22s run %d  ' "\$(basename "\$1")" "\$run"
    "\$w" ./held_key.exe "\$ed" "\$(z "\$1")" "\$2" $interval 2>&1 || { echo "failed"; failed=1; }
  done
}
measure "$sample" ${keys[$sample]}
measure "$lines" ${keys[$lines]}
kill \$keeper 2>/dev/null || true
/usr/lib/wine/wineserver -k || true
exit \$failed
INNER
timeout -k 10 900 xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner" 2>/dev/null | grep -v '^$'
