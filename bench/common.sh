# Sourced by the benchmarks. gv_lines_document PATH [LINES MB] makes the
# Shift-JIS document of make_lines.py (1,600,000 lines, about 100 MB unless
# told otherwise) at PATH unless it is there already from the generators as
# they are now (a stamp beside it records their checksums).
gv_lines_document() {
  local path=$1 lines=${2:-1600000} mb=${3:-100} dir
  dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  local stamp
  stamp="lines $(cksum <"$dir/make_lines.py" | cut -d' ' -f1) $(cksum <"$dir/make_text.py" | cut -d' ' -f1)"
  [ "$lines $mb" = "1600000 100" ] || stamp+=" $lines $mb"
  if [ "$(cat "$path.stamp" 2>/dev/null)" != "$stamp" ] || [ ! -f "$path" ]; then
    echo "generating $path ..." >&2
    mkdir -p "$(dirname "$path")"
    python3 "$dir/make_lines.py" "$path" "$lines" "$mb"
    echo "$stamp" >"$path.stamp"
  fi
}

# The Wine session the Win32 benchmarks run in (sourced inside the script that
# xvfb-run starts): the Japanese locale, the prefix of the win64 tree, the
# program folder as the working folder; w runs a program, z gives a path's Z: name.
gv_wine_session() {
  local root=$1
  . "$root/scripts/ja-locale.sh"
  gv_ja_locale || return 1
  export WINEPREFIX=$root/build/win64/wine/prefix WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  cd "$root/build/win64/bin" || return 1
  w=/usr/lib/wine/wine64
  z() { echo "Z:$(echo "$1" | tr / '\\')"; }
}

# Builds the Windows tree's editor with what it loads and starts (the
# libraries, the resources, the info window, gvtool.exe) and the given tools.
gv_build_editor_win64() {
  local root=$1
  shift
  (cd "$root" && cmake --preset win64 >/dev/null &&
    cmake --build build/win64 --target Gorvane Vantrel qvres QORVimage gvtool "$@" >/dev/null)
}
