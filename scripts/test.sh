#!/usr/bin/env bash
# Builds and runs every test twice: an optimised build with debug
# information (benchmarks built too, so they keep compiling) and a build
# with AddressSanitizer and UBSan; then a short fuzz run of every fuzz target
# (scripts/fuzz.sh, Q7_FUZZ_SECONDS per target, default 10; 0 skips it).
# A PostgreSQL server for the tests runs meanwhile (scripts/pg.sh).
# Fails when any of them fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="${Q7_JOBS:-$(nproc)}"

bash "$root/scripts/setup.sh"

# The tests of a practice database on a server run against a throwaway one,
# stopped and removed when this script ends, also after a failure.
# shellcheck source=scripts/pg.sh
source "$root/scripts/pg.sh"
q7_pg_start || exit 1

status=0
run() {
  local dir="$1"; shift
  echo "== $dir" >&2
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null &&
    ninja -C "$root/$dir" -j "$jobs" &&
    ctest --test-dir "$root/$dir" --output-on-failure -j "$jobs" || status=1
}
run build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ7_BENCHMARKS=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run build/ci-asan -DCMAKE_BUILD_TYPE=Debug -DQ7_SANITIZE=ON -DQ7_BENCHMARKS=OFF
fuzz_seconds="${Q7_FUZZ_SECONDS:-10}"
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== build/fuzz" >&2
  Q7_JOBS="$jobs" bash "$root/scripts/fuzz.sh" "$fuzz_seconds" || status=1
fi
exit $status
