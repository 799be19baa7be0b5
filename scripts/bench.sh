#!/usr/bin/env bash
# Builds the benchmarks (native, optimised, no sanitizers) and runs each;
# every benchmark prints its own table. Results worth keeping go into
# docs/BENCHMARKS.md by hand, with the machine they ran on.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
cmake -S . -B "$build/bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
benches=()
for src in bench/*.cpp; do
  [[ -e $src ]] || continue
  benches+=("$(basename "${src%.cpp}")")
done
if ((${#benches[@]} == 0)); then
  echo "no benchmarks"
  exit 0
fi
cmake --build "$build/bench" -j "$(nproc)" --target "${benches[@]}"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
for b in "${benches[@]}"; do
  echo
  echo "== $b"
  # With the CDDB fixture server running (its port in QUORVO_CDDB_PORT).
  bash tests/cddb_server/with_servers.sh "$build/bench/$b"
done
# Benchmarks that run under Wine (the whole host process) have their own scripts.
for s in bench/*.sh; do
  [[ -e $s ]] || continue
  echo
  echo "== $(basename "$s")"
  bash "$s" "$build"
done
