#!/usr/bin/env bash
# The main job: builds q7host and the module, seeds the demo practice into
# the home folder when it has no database yet, and opens the practice
# desktop there. Arguments go to q7host (a command, --script, ...).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
home="${Q7_HOME:-$PWD/q7home}"

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DQ7_BENCHMARKS=OFF >/dev/null
ninja -C "$root/build/release" q7host q7txtbst >/dev/null

bin="$root/build/release/bin/q7host"
if [ ! -f "$home/praxis.db" ]; then
  "$bin" --home "$home" seed-demo
fi
exec "$bin" --home "$home" "$@"
