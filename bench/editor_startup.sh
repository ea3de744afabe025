#!/usr/bin/env bash
# Under Wine (and Xvfb): the time from starting the editor to its first
# painted page and its peak working set, for a 10 MB Shift-JIS file and the
# 1,600,000-line document of files.sh, with Wine's notepad on the 10 MB file
# in the same run.
#   bench/editor_startup.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
data=$here/data
# The document of files.sh, made again when its generator changed (the stamp is files.sh's).
lines=$data/lines-1600000.txt
. "$here/common.sh"
gv_lines_document "$lines"
[ -f "$data/text-sjis.txt" ] || python3 "$here/make_text.py" "$data" 24
head -c 10000000 "$data/text-sjis.txt" >"$data/ten-mb.txt"
gv_build_editor_win64 "$root" first_paint
"$root/scripts/wine-run.sh" "$root/build/win64" 120 "$root/build/win64/bin/gvtool.exe" detect "$data/ten-mb.txt" >/dev/null

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<INNER
. "$here/common.sh"
gv_wine_session "$root" || exit 1
# Each program is measured twice: first in a Wine session that it starts (the
# session's services come up with it: "cold"), then in a session that is up
# already ("warm"): a Wine process is kept running throughout (else the
# session winds down as soon as no program runs), its services started by a
# first, unreported run on a small file.
ed="\$(z "$root/build/win64/bin/Gorvane_0174.exe")"
np='C:\\windows\\system32\\notepad.exe'
measure() {  # label program class file
  /usr/lib/wine/wineserver -k || true; sleep 1
  printf '%-22s %-8s cold ' "\$4" "\$1"; "\$w" ./first_paint.exe "\$2" "\$3" "\$(z "$data/\$4")" 120
  /usr/lib/wine/wineserver -k || true; sleep 1
  sleep 600 | "\$w" cmd.exe /c pause >/dev/null 2>&1 &
  keeper=\$!
  sleep 2
  "\$w" ./first_paint.exe "\$2" "\$3" "\$(z "$root/samples/sample-sjis.txt")" 60 >/dev/null || true
  sleep 2
  printf '%-22s %-8s warm ' "\$4" "\$1"; "\$w" ./first_paint.exe "\$2" "\$3" "\$(z "$data/\$4")" 120
  kill \$keeper 2>/dev/null || true
}
measure editor "\$ed" Gorvane ten-mb.txt
measure editor "\$ed" Gorvane lines-1600000.txt
measure notepad "\$np" Notepad ten-mb.txt
/usr/lib/wine/wineserver -k || true
INNER
timeout -k 10 600 xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner" 2>/dev/null | grep -v '^$'
echo "iconv -f CP932 -t UTF-8 on the 1,600,000-line file, for comparison:"
( TIMEFORMAT='  %R s'; time iconv -f CP932 -t UTF-8 "$data/lines-1600000.txt" >/dev/null )
