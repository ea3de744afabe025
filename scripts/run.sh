#!/usr/bin/env bash
# Installs what is missing, builds, and opens the editor on the bundled sample
# document under Wine. Where there is no display it runs under Xvfb, saves a
# screenshot, prints its path and closes the editor.
#   scripts/run.sh [FILE]      (default: samples/sample-sjis.txt)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh >/dev/null
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake --preset win64 >/dev/null
cmake --build build/win64 -j "$(nproc)" >/dev/null

file=$(realpath "${1:-samples/sample-sjis.txt}")
winfile="Z:${file//\//\\}"
bin=$root/build/win64/bin

# The Japanese locale (setup.sh has generated it by now), the Wine prefix of
# the build tree (made on first use), then the editor.
. scripts/ja-locale.sh
gv_ja_locale || exit 1
scripts/wine-run.sh build/win64 120 "$bin/gvtool.exe" detect "$file" >/dev/null
export WINEPREFIX=$root/build/win64/wine/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ -n "${DISPLAY:-}" ]; then
  echo "Opening $file in the editor (close its window to end)."
  cd "$bin" && exec "$wine" ./Gorvane_0174.exe "$winfile"
fi

shots=$root/build/screenshots
mkdir -p "$shots"
shot=$shots/editor.png
# Under Xvfb: the driver starts the editor, waits for its window, brings it in
# front of the info window, saves a screenshot of it and closes it.
inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<INNER
cd "$bin"
"$wine" ./gvdrive.exe shot 'Z:${shots//\//\\}\\editor.bmp' '$winfile'
"$wineserver" -k || true
INNER
rm -f "$shot" "$shots/editor.bmp"
timeout -k 10 120 xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner" >"$shots/run.log" 2>&1 || true
if [ -s "$shots/editor.bmp" ] && convert "$shots/editor.bmp" "$shot" && [ -s "$shot" ]; then
  rm -f "$shots/editor.bmp"
  echo "No display: the editor ran under Xvfb on $file; screenshot: $shot"
else
  echo "run.sh: no screenshot was taken (see $shots/run.log)" >&2
  exit 1
fi
