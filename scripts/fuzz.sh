#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/*_fuzz.cpp) with clang and libFuzzer and runs
# each for SECONDS (default 30) from its seed corpus. Fails when a target
# finds an input that crashes it; the input is kept under FINDINGS.
#
#   scripts/fuzz.sh [SECONDS]
#
# Environment:
#   Q7_FUZZ_JOBS   targets run at the same time (default: the number of cores)
#   Q7_FUZZ_BUILD  build folder (default build/fuzz); another one lets a second
#                  build run while a long run uses the first
#   Q7_JOBS        compile jobs (default: the number of cores)
#
# The corpus a run grows stays in the build folder (BUILD/corpus/<target>),
# so the next run starts from it; the seeds in fuzz/corpus are never written.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-30}"
parallel="${Q7_FUZZ_JOBS:-$(nproc)}"
build="${Q7_FUZZ_BUILD:-$root/build/fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
jobs="${Q7_JOBS:-$(nproc)}"
findings="$build/findings"

# Longest input per target: enough for every structure the reader knows,
# short enough that each run tries many.
max_len() {
  case "$1" in
    tbimport | icd_ueberleitung) echo 16384 ;;
    tsv | script | params) echo 4096 ;;
    *) echo 1024 ;;
  esac
}

targets=()
for f in "$root"/fuzz/*_fuzz.cpp; do
  n="$(basename "$f" _fuzz.cpp)"
  targets+=("$n")
done

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "== fuzz: building ${#targets[@]} targets in $build" >&2
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQ7_FUZZ=ON -DQ7_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
ninja -C "$build" -j "$jobs" "${targets[@]/#/fuzz_}"

mkdir -p "$findings" "$build/logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"

# One target: its corpus copied to the work folder, a run of SECONDS, the
# result in BUILD/logs/<target>.log.
run_target() {
  local name="$1" work="$build/corpus/$1"
  mkdir -p "$work"
  cp -n "$root/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  "$build/bin/fuzz_$name" "$work" -max_total_time="$seconds" -max_len="$(max_len "$name")" \
    -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$findings/$name-" >"$build/logs/$name.log" 2>&1 &&
    echo 0 >"$build/logs/$name.rc" || echo $? >"$build/logs/$name.rc"
}

echo "== fuzz: ${seconds}s per target, $parallel at a time" >&2
status=0
for name in "${targets[@]}"; do
  rm -f "$build/logs/$name.rc"
  run_target "$name" &
  # Wait for a slot when all are taken.
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
done
wait
for name in "${targets[@]}"; do
  rc="$(cat "$build/logs/$name.rc" 2>/dev/null || echo 1)"
  log="$build/logs/$name.log"
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  found="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)"
  if [ "$rc" -eq 0 ] && [ -z "$found" ]; then
    printf 'fuzz: %-18s %10s executions, no finding\n' "$name" "${execs:-?}"
    continue
  fi
  status=1
  printf 'fuzz: %-18s %10s executions, FAILED (exit %d); log: %s\n' "$name" "${execs:-?}" "$rc" "$log"
  grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | sed 's/^/  /' || true
  if [ -n "$found" ]; then
    echo "  input: $found"
    echo "  replay: $build/bin/fuzz_$name $found"
    echo "  once fixed, keep it as a regression input:"
    echo "    cp $found $root/fuzz/corpus/$name/regress-<what-it-was>"
  fi
done
exit $status
