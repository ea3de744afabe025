#!/usr/bin/env bash
# Installs what is missing, builds every tree and runs every test:
#   native (Debug, ASan+UBSan), release (gvtool, benchmarks), win64 (the
#   programs and DLLs, tests under Wine), win32 (compiles and links), fuzz
#   (the fuzz targets build; their crash inputs run in the native suite).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}
jobs=$(nproc)
summary=()
passed=0 failed=0

run_ctest() {  # tree, extra ctest args
  local tree=$1
  shift
  local log
  log=$(mktemp)
  set +e
  (cd "build/$tree" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    failed=$((failed + 1))
  fi
  summary+=("$tree: ${line:-ctest did not finish}")
  return $rc
}

status=0
for tree in native release win64 win32 fuzz; do
  echo "=== configure and build: $tree"
  cmake --preset "$tree" >/dev/null
  cmake --build "build/$tree" -j "$jobs"
done

echo "=== tests: native"
run_ctest native || status=1
echo "=== tests: win64 (under Wine)"
run_ctest win64 || status=1

echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
