#!/usr/bin/env bash
# Builds the benchmark programs (bench preset: Release, no tests), runs every one of them and
# then times a simulated day of seatbelt_sim by hand. Prints numbers; fails only when a program
# cannot be built or run. Benchmarks are never part of the tests. Ends with the campaign timing of
# scripts/bench_campaign.sh.
#   BENCH_BUILD_DIR    build folder (default build/bench, the preset's)
#   BENCH_REPETITIONS  runs of each benchmark; mean, median and spread are shown (default 5)
# Further arguments go to every benchmark program, e.g. --benchmark_filter=chain.
# The machine is shared: numbers from a busy machine are high; compare medians.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=${BENCH_BUILD_DIR:-build/bench}
repetitions=${BENCH_REPETITIONS:-5}

cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" -j2

mapfile -t programs < <(find "$build/bin" -maxdepth 1 -type f -perm -u+x -name '*_bench*' | sort)
[ "${#programs[@]}" -gt 0 ] || { echo "no benchmark programs in $build/bin" >&2; exit 1; }

for program in "${programs[@]}"; do
  printf '\n==== %s ====\n' "$(basename "$program")"
  "$program" --benchmark_repetitions="$repetitions" --benchmark_display_aggregates_only=true \
    "$@" 2>/dev/null
done

# The goal: a simulated day in under 0.5 s with the output on /dev/null.
day_ms=86400000
printf '\n==== seatbelt_sim --duration %s > /dev/null ====\n' "$day_ms"
best=
for run in 1 2 3; do
  start=$(date +%s.%N)
  "$build/bin/seatbelt_sim" --duration "$day_ms" >/dev/null
  end=$(date +%s.%N)
  wall=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
  printf 'run %s: %s s wall, %s times real time\n' "$run" "$wall" \
    "$(awk -v w="$wall" -v d="$day_ms" 'BEGIN { printf "%.0f", d / 1000 / w }')"
  if [ -z "$best" ] || awk -v w="$wall" -v b="$best" 'BEGIN { exit !(w < b) }'; then
    best=$wall
  fi
done
printf 'best: %s s (goal: under 0.5 s, over 170000 times real time)\n' "$best"

# The components' tick in instructions, on the installed libraries and on the FMU's
# position-independent copies (callgrind; skipped without valgrind).
if command -v valgrind >/dev/null; then
  printf '\n==== the four components per tick, callgrind ====\n'
  fmu/bench/callgrind_ticks.sh "$build"
fi

# A campaign of 1000 copies of the built-in drive: seatbelt_test --jobs 2 against seatbelt_sim
# started once per file under xargs -P2.
printf '\n==== campaign: seatbelt_test against xargs seatbelt_sim ====\n'
scripts/bench_campaign.sh "$build"
