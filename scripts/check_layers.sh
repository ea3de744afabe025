#!/usr/bin/env bash
# The include rules of the layers, checked by grep over the source tree:
#  - only Win32 files (*_win32.*, and resource scripts) include <windows.h>;
#  - base, charcode, document, files, ipc, commands, search and the companions include
#    nothing from the shell;
#  - the document includes nothing from files, ipc or the shell.
# Usage: check_layers.sh SOURCE_DIR      (exit 1 and a line per breach)
#        check_layers.sh --self-test     (each rule catches a breach made for it)
set -u

check() {
  local root=$1 bad=0 hits
  cd "$root" || return 2
  hits=$(grep -rEil --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' \
           src companions 2>/dev/null | grep -v '_win32\.[a-z]*$')
  if [ -n "$hits" ]; then
    printf '%s: includes <windows.h> but is not a Win32 file\n' $hits
    bad=1
  fi
  hits=$(grep -rEn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"shell/' \
           src/base src/charcode src/document src/files src/ipc src/commands src/search companions 2>/dev/null)
  if [ -n "$hits" ]; then
    printf '%s  (below the shell)\n' "$hits"
    bad=1
  fi
  hits=$(grep -rEn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(files|ipc|shell)/' \
           src/document 2>/dev/null)
  if [ -n "$hits" ]; then
    printf '%s  (the document includes a layer above it)\n' "$hits"
    bad=1
  fi
  return $bad
}

self_test() {
  local tmp failed=0 out
  tmp=$(mktemp -d) || return 2
  trap 'rm -rf "$tmp"' RETURN
  mkdir -p "$tmp/src/document" "$tmp/src/files" "$tmp/src/shell" "$tmp/companions/vantrel"
  printf '#include <windows.h>\n' > "$tmp/src/shell/view_win32.cpp"
  printf '#include "shell/metrics.h"\n' > "$tmp/src/shell/view.cpp"
  printf '#include "document/types.h"\n' > "$tmp/src/files/loader.cpp"
  out=$(check "$tmp") || { echo "self-test: a clean tree fails:"; echo "$out"; failed=1; }
  # Each breach alone must be reported, naming its file.
  while IFS='|' read -r file text; do
    mkdir -p "$(dirname "$tmp/$file")"
    printf '%s\n' "$text" > "$tmp/$file"
    if out=$(check "$tmp"); then
      echo "self-test: not caught: $file: $text"
      failed=1
    elif ! grep -q "$file" <<<"$out"; then
      echo "self-test: $file not named in: $out"
      failed=1
    fi
    rm "$tmp/$file"
  done <<'CASES'
src/files/loader_posix.cpp|#include <windows.h>
companions/qvres/qvres.cpp|#  include <Windows.h>
src/document/line_store.h|#include "shell/host.h"
companions/vantrel/vantrel_model.cpp|#include "shell/host.h"
src/ipc/messages.cpp|  #include "shell/status_bar.h"
src/document/line_store.cpp|#include "files/paths.h"
src/document/support/temp_cache.h|#include "ipc/kernel.h"
CASES
  return $failed
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
else
  check "${1:?usage: check_layers.sh SOURCE_DIR | --self-test}"
fi
