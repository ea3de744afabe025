#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target, one after another, for
# SECONDS each (default 60):
#   fuzz/run.sh [SECONDS] [TARGET...]
# Each target starts from its seeds (fuzz/corpus/<target>/) and the inputs it
# found before (fuzz/corpus-work/<target>/, not committed). An input that
# crashes, leaks or times out is written to fuzz/regressions/<target>/, where
# charcode_tests (fuzz_load: files_tests, fuzz_shared and fuzz_messages: ipc_tests,
# fuzz_script: editor_tests, fuzz_regex: search_tests, fuzz_search: qorvetc_tests) runs it from then on. JOBS=2 runs two processes per target.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(fuzz_detect fuzz_readers fuzz_convert fuzz_load fuzz_shared fuzz_messages fuzz_script fuzz_regex fuzz_search); fi
jobs="${JOBS:-1}"

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
for t in "${targets[@]}"; do
  work="$root/fuzz/corpus-work/$t"
  kept="$root/fuzz/regressions/$t"
  logs="$root/build/fuzz/logs/$t"
  mkdir -p "$work" "$kept" "$logs"
  rm -f "$logs"/*.log
  before=$(ls "$kept" | wc -l)
  echo "== $t: ${seconds}s (logs in $logs)"
  args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -print_final_stats=1
        -artifact_prefix="$kept/")
  if [ "$jobs" -gt 1 ]; then
    # Independent processes sharing the working corpus, each for the whole time.
    args+=(-jobs="$jobs" -workers="$jobs")
  fi
  # Run from the log directory: with -jobs, libFuzzer writes fuzz-<n>.log there.
  if ! (cd "$logs" && "$root/build/fuzz/fuzz/$t" "${args[@]}" "$work" "$root/fuzz/corpus/$t" >run.log 2>&1); then
    status=1
  fi
  # Each process's final stats (with -jobs, run.log repeats the jobs' logs).
  if [ "$jobs" -gt 1 ]; then stats=("$logs"/fuzz-*.log); else stats=("$logs/run.log"); fi
  grep -hE 'stat::number_of_executed_units|stat::average_exec_per_sec' "${stats[@]}" || true
  after=$(ls "$kept" | wc -l)
  if [ "$after" -gt "$before" ]; then
    echo "$t: $((after - before)) new input(s) in fuzz/regressions/$t:"
    ls -t "$kept" | head -n $((after - before))
    status=1
  fi
done
exit $status
