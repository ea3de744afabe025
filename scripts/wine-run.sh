#!/usr/bin/env bash
# Runs one Windows program under Wine for the tests of a build tree:
#   wine-run.sh BUILD_DIR TIMEOUT_SECONDS PROGRAM [ARGS...]
# The build tree has its own Wine prefix, made once from scratch (wineboot) and
# reused by every test; Wine runs in the Japanese locale, and under Xvfb when
# GV_WINE_DISPLAY=xvfb (for tests with windows). Every run is time-limited.
set -euo pipefail
build_dir=$(cd "$1" && pwd) limit=$2
shift 2

WINE=${GV_WINE:-/usr/lib/wine/wine64}
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine || true)
[ -n "$WINE" ] || { echo "wine-run: wine64 not found (run scripts/setup.sh)" >&2; exit 2; }
WINESERVER=$(dirname "$WINE")/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || true)

. "$(dirname "${BASH_SOURCE[0]}")/ja-locale.sh"
gv_ja_locale || exit 2
export WINEPREFIX="$build_dir/wine/prefix"
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$build_dir/wine"

# The template prefix: made once per build tree, under a lock, with a bounded wait.
exec 9>"$build_dir/wine/prefix.lock"
flock -w 300 9 || { echo "wine-run: timed out waiting for the Wine prefix lock" >&2; exit 2; }
if [ ! -f "$WINEPREFIX/.gv-ready" ]; then
  rm -rf "$WINEPREFIX"
  timeout -k 10 300 "$WINE" wineboot --init >/dev/null 2>&1 || true
  [ -n "$WINESERVER" ] && timeout 60 "$WINESERVER" -w || true
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run: could not create the Wine prefix" >&2; exit 2; }
  touch "$WINEPREFIX/.gv-ready"
fi
flock -u 9

run=("$WINE" "$@")
if [ "${GV_WINE_DISPLAY:-}" = xvfb ] || { [ -z "${DISPLAY:-}" ] && [ "${GV_WINE_DISPLAY:-}" = auto ]; }; then
  run=(xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}")
fi
set +e
timeout -k 10 "$limit" "${run[@]}"
rc=$?
set -e
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "wine-run: $1 did not finish within $limit seconds" >&2
fi
exit $rc
