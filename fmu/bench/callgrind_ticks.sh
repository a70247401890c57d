#!/usr/bin/env bash
# Instructions per tick of the four components (seatbelt_sim::RunComponentTick with everything it
# calls), counted by callgrind over 100,000 ticks: on the installed libraries, as seatbelt_sim
# links them, and on the FMU's position-independent copies. Prints both.
#   fmu/bench/callgrind_ticks.sh [BUILD_DIR]   (default build/bench; needs valgrind)
set -euo pipefail
build=${1:-build/bench}
ticks=100000
work=$(mktemp -d "${TMPDIR:-/tmp}/callgrind_ticks.XXXXXX")
trap 'rm -rf "$work"' EXIT
for program in chain_ticks_installed chain_ticks_fmu_copy; do
  valgrind --tool=callgrind --callgrind-out-file="$work/$program.out" \
    --toggle-collect='seatbelt_sim::RunComponentTick()' "$build/bin/$program" "$ticks" \
    >/dev/null 2>&1
  total=$(sed -n 's/^summary: *//p' "$work/$program.out")
  printf '%-24s %s instructions per tick\n' "$program" \
    "$(awk -v t="$total" -v n="$ticks" 'BEGIN { printf "%.1f", t / n }')"
done
