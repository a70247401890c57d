#!/usr/bin/env bash
# Runs every program under Valgrind memcheck: any memory error or leak fails. (The programs built
# for the board run on the emulated board instead: targets/cortex-m/ci.sh.) Long-running
# programs are covered through their step operations in the test suite (clock_stress's short
# runs and wheelwatch's fixed-clock build), which CI also runs under ASan+UBSan.
# Usage: scripts/memcheck.sh [BUILD_DIR]   (default: build, as the README builds it)
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bin=${1:-build}/bin
tests=${1:-build}/tests
scenarios=host/seatbelt_sim/scenarios
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
# check NAME EXPECTED_STATUS COMMAND...: memcheck clean and the program's own status as expected.
check() {
  local name=$1 expected=$2
  shift 2
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect "$@" >"$scratch/out" 2>"$scratch/err"
  local status=$?
  if [ "$status" -eq "$expected" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL memcheck $name: status $status, expected $expected"
    tail -n 30 "$scratch/err"
  fi
}

check valuelist 0 "$bin/valuelist"
check beltcheck 0 "$bin/beltcheck"
check hazardscope 0 "$bin/hazardscope"
check hazardscope-seed 0 "$bin/hazardscope" --seed 7
check hazardscope-bad-option 2 "$bin/hazardscope" --seed x
check ecu_startup 0 "$bin/ecu_startup"
check ecu_startup-fault 0 "$bin/ecu_startup" --fail-at rte_start --emergency-recovery
check ecu_startup-bad-option 2 "$bin/ecu_startup" --fail-at nowhere
check seatbelt_sim-builtin 0 "$bin/seatbelt_sim"
for scenario in "$scenarios"/*.txt; do
  check "seatbelt_sim-$(basename "$scenario")" 0 "$bin/seatbelt_sim" \
    --csv "$scratch/run.csv" --vcd "$scratch/run.vcd" --svg "$scratch/run.svg" "$scenario"
done
check seatbelt_sim-svg-unwritable 1 "$bin/seatbelt_sim" --svg "$scratch/none/run.svg"
printf '5 speed 30\n5 sped 40\nend 100\n' >"$scratch/bad.txt"
check seatbelt_sim-bad-scenario 2 "$bin/seatbelt_sim" "$scratch/bad.txt"
check seatbelt_sim-missing-file 2 "$bin/seatbelt_sim" "$scratch/none.txt"
check seatbelt_sim-bad-option 2 "$bin/seatbelt_sim" --duration abc
check scenario_table 0 "$bin/scenario_table" --output "$scratch/run.table" --csv run.csv \
  "$scenarios/calibration_edges.txt"
check scenario_table-bad-scenario 2 "$bin/scenario_table" --output "$scratch/run.table" \
  "$scratch/bad.txt"
check wheelwatch-fixed-clock 0 "$tests/wheelwatch_fixed_clock"
# The FMUs, loaded by the test importer: instances, threads, reset, bad calls.
check fmu-importer 0 "$tests/fmu_test"

echo "memcheck: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
