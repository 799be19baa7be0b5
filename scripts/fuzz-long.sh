#!/usr/bin/env bash
# Long libFuzzer runs, one target at a time at the lowest priority, each from
# a fresh working corpus seeded with the committed one. Prints one Markdown
# table row per target (the exact command, runs, exec/s, coverage, features,
# corpus at the end) and keeps each run's log and any artifact under
# build/fuzz-long/.
# usage: scripts/fuzz-long.sh [seconds per target (600)] [target ...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  for f in fuzz/*_fuzzer.cpp; do
    n=${f##*/}
    targets+=("${n%_fuzzer.cpp}")
  done
fi
out=build/fuzz-long
mkdir -p "$out"
# Undefined behaviour counts as a finding, as in `make test`.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

echo "| target | command | result | runs | exec/s | cov | ft | corpus at end |"
echo "|---|---|---|---|---|---|---|---|"
for t in "${targets[@]}"; do
  work=$out/$t
  rm -rf "$work" && mkdir -p "$work"
  cmd=(nice -n 19 build/fuzz/${t}_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048
       -print_final_stats=1 -artifact_prefix="$out/$t-" "$work" "fuzz/corpus/$t")
  "${cmd[@]}" >"$out/$t.log" 2>&1
  rc=$?
  result="no finding"
  ((rc == 0)) || result="FINDING (exit $rc, see $out/$t.log)"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t.log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/$t.log")
  last=$(grep -E '^#[0-9]+' "$out/$t.log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  files=$(find "$work" -type f | wc -l)
  bytes=$(du -sb "$work" | cut -f1)
  echo "| $t | \`UBSAN_OPTIONS=$UBSAN_OPTIONS ${cmd[*]}\` | $result | $runs | $speed | $cov | $ft | $files files, $bytes bytes |"
done
