#!/usr/bin/env bash
# Builds with gcov instrumentation, runs the whole test suite and checks the coverage of the
# project's own code (tests, benchmarks, fuzzers, their support/ and examples not counted):
#   component modules (seatbelt/, instrument_cluster/, engine_ecu/): 100% lines, >= 95% branches
#   every other folder of the system, rte/, simulation/, startup_sequence/, host/ and fmu/: >= 90%
#   lines
# Exception and unreachable branches are excluded. Prints the summary table; fails below a bar.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=build/coverage

cmake --preset coverage >/dev/null
cmake --build --preset coverage
find "$build" -name '*.gcda' -delete
ctest --preset coverage >/dev/null

trace="$build/coverage.json"
gcovr --root . --object-directory "$build" \
  --exclude '(.*/)?tests/.*' --exclude '(.*/)?bench/.*' --exclude '(.*/)?fuzz/.*' \
  --exclude 'support/.*' --exclude 'examples/.*' --exclude 'targets/.*' --exclude 'build/.*' \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json "$trace"

gcovr --add-tracefile "$trace" --root . --sort-percentage

status=0
check() { # folder, minimum line %, minimum branch % (optional)
  local folder=$1 lines=$2 branches=${3:-0}
  local bar="lines >= $lines%"
  [ "$branches" -eq 0 ] || bar="$bar, branches >= $branches%"
  if gcovr --add-tracefile "$trace" --root . --filter "$folder/" \
      --fail-under-line "$lines" --fail-under-branch "$branches" >/dev/null; then
    printf 'coverage ok   %-20s (%s)\n' "$folder" "$bar"
  else
    printf 'coverage LOW  %-20s (%s)\n' "$folder" "$bar"
    gcovr --add-tracefile "$trace" --root . --filter "$folder/" --branches | tail -n +5
    status=1
  fi
}
check seatbelt 100 95
check instrument_cluster 100 95
check engine_ecu 100 95
check clock_stress 90
check abs_malfunction 90
check valuelist 90
check rte 90
check simulation 90
check startup_sequence 90
check host 90
check fmu 90
exit "$status"
