#!/usr/bin/env bash
# make bench: builds the benchmark programs (native, optimised, no
# sanitizers), runs them and the Wine benchmarks of bench/*.sh once each in
# a fixed order, and writes docs/BENCHMARKS.md from what they print: a
# header naming the run and the machine, then each benchmark's own section.
# docs/BENCHMARKS.md is replaced only when every benchmark succeeded; this
# run's copy stays in <build>/bench/BENCHMARKS.md either way.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
case $build in
  /*) build_dir=$build ;;
  *) build_dir=$root/$build ;;
esac

# The order of the sections; a benchmark not named here follows by name.
order=(playback_bench wine_host_cpu titles_bench cddb_bench lookup_wait_cpu rip_bench)
# A benchmark may take long on a busy machine, but never for ever.
limit_s=1800

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir/bench" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null

found=()
for src in bench/*.cpp bench/*.sh; do
  [[ -e $src ]] && found+=("$(basename "${src%.*}")")
done
benches=()
for b in "${order[@]}"; do
  [[ " ${found[*]} " == *" $b "* ]] && benches+=("$b")
done
for b in $(printf '%s\n' "${found[@]}" | sort); do
  [[ " ${order[*]} " == *" $b "* ]] || benches+=("$b")
done
programs=()
for b in "${benches[@]}"; do
  [[ -f bench/$b.cpp ]] && programs+=("$b")
done
if ((${#programs[@]})); then
  cmake --build "$build_dir/bench" -j "$(nproc)" --target "${programs[@]}"
fi

sections=$build_dir/bench/sections
rm -rf "$sections"
mkdir -p "$sections" "$build_dir/bench/tmp"
# Scratch files go to the disk the build is on, not to a memory file system.
export QUORVO_BENCH_TMP=$build_dir/bench/tmp
started=$(date -u '+%Y-%m-%d %H:%M UTC')
load_start=$(cut -d' ' -f1 /proc/loadavg)
t_start=$SECONDS
failed=()
n=0
for b in "${benches[@]}"; do
  n=$((n + 1))
  out=$(printf '%s/%02d_%s' "$sections" "$n" "$b")
  if [[ -f bench/$b.cpp ]]; then
    # With the CDDB fixture server and the proxy running (their ports in
    # QUORVO_CDDB_PORT and QUORVO_PROXY_PORT).
    cmd=(bash tests/cddb_server/with_servers.sh "$build_dir/bench/$b")
  else
    cmd=(bash "bench/$b.sh" "$build")
  fi
  echo "== $b" >&2
  t0=$SECONDS
  status=0
  timeout --kill-after=30 "$limit_s" "${cmd[@]}" </dev/null >"$out.md" 2>"$out.err" || status=$?
  if ((status == 0)); then
    echo "   $((SECONDS - t0)) s" >&2
  else
    failed+=("$b")
    echo "   failed (exit $status) after $((SECONDS - t0)) s; its output:" >&2
    tail -n 20 "$out.err" >&2
  fi
done

# The header: when, where and on what.
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
memory=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
wine=$(/usr/lib/wine/wine64 --version 2>/dev/null || echo "wine not found")
commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
if [[ -n $(git status --porcelain -- . ':!docs/BENCHMARKS.md' 2>/dev/null) ]]; then
  commit="$commit with uncommitted changes"
fi
doc=$build_dir/bench/BENCHMARKS.md
{
  cat <<TXT
# Benchmarks

Written by \`make bench\` (\`scripts/bench.sh\`) in one run on one machine: it runs each benchmark in
\`bench/\` once, in a fixed order: the programs, built natively (optimised, no sanitizers), and the
scripts that run the test host under Wine. Each benchmark prints its own section below; nothing
here is edited by hand. The figures are measurements, not limits: no test asserts on them.

| run | |
|---|---|
| date | $started, $(( (SECONDS - t_start + 30) / 60 )) minutes |
| machine | $(nproc) cores, $cpu, $memory |
| system | $os, Linux $(uname -r), $wine |
| tree | commit $commit |
| load average (1 min) | $load_start at the start, $(cut -d' ' -f1 /proc/loadavg) at the end |

Every figure stands beside its floor, in the same row: what the same work costs on this machine
without the plug-in (the drive model reading by itself, bare round trips to the same server, a
plain write of the same bytes, an idle host); each section defines its floors. The machine is
shared with other builds, tests and fuzzers (see the load average), so the figures are medians of
several rounds where time is measured, and times move from run to run; the ratios to the floors,
measured in the same minutes, move less.
TXT
  for b in "${benches[@]}"; do
    f=$(ls "$sections"/*_"$b".md)
    echo
    if grep -q . "$f" && [[ " ${failed[*]} " != *" $b "* ]]; then
      cat "$f"
    else
      echo "## $b"
      echo
      echo "(This benchmark failed in this run.)"
    fi
  done
} | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' | cat -s >"$doc"

if ((${#failed[@]})); then
  echo "make bench: ${failed[*]} failed; docs/BENCHMARKS.md is unchanged, this run's copy is $doc" >&2
  exit 1
fi
cp "$doc" docs/BENCHMARKS.md
cat docs/BENCHMARKS.md
echo >&2
echo "make bench: wrote docs/BENCHMARKS.md" >&2
