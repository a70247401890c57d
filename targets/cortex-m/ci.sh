#!/usr/bin/env bash
# Continuous integration for the Cortex-M target: installs the cross toolchain and QEMU, builds
# the cortex-m preset (with the desktop tools it needs), runs the board self-tests, beltcheck and
# its failing-calibration build on the emulated board, checking the output and the exit status of
# each, compares the desktop and the board back to back (back-to-back.sh), and checks the
# footprint against its budgets and the stack measured on the board against the worst case found
# in the code, and runs the requirement campaign on the board (seatbelt_test --board), whose
# report must be the desktop's. Any failure fails the run.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

board_dir=targets/cortex-m
# The preset's binary folder unless the caller names another one.
build_dir=${CORTEXM_BUILD_DIR:-build/cortex-m}
bin=$build_dir/bin

section() { printf '\n==== %s (%ds) ====\n' "$*" "$SECONDS"; }

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  section "Installing the cross toolchain and QEMU"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # g++ builds the desktop half: scenario_table and the programs compared with the board.
  apt-get install -y -qq --no-install-recommends cmake ninja-build python3 g++ \
    gcc-arm-none-eabi libnewlib-arm-none-eabi libstdc++-arm-none-eabi-newlib \
    qemu-system-arm >/dev/null
fi

section "Build: cortex-m preset, and scenario_table for the desktop half"
cmake --preset cortex-m -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2

section "Footprint script tests"
PYTHONDONTWRITEBYTECODE=1 python3 -m unittest discover -s "$board_dir/tests" -p 'test_*.py'

section "Programs on the emulated board"
passed=0
failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME [--timeout S]: runs bin/NAME.elf on the board; sets status, out and err.
run() {
  local name=$1
  shift
  status=0
  "$board_dir/run-qemu.sh" "$@" "$bin/$name.elf" >"$work/out" 2>"$work/err" || status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

# check DESCRIPTION CONDITION...: counts one expectation and shows what the program did when
# it does not hold.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    printf '  exit status %s\n  stdout: %s\n  stderr: %s\n' "$status" "$out" "$err"
  fi
}
contains() { [[ "$1" == *"$2"* ]]; }
# Compares the whole of standard output, trailing newline included.
stdout_is() { printf '%s\n' "$1" | cmp -s - "$work/out"; }

# The board's own endings first: each must reach the host as its own exit status. The plain
# semihosting exit would turn any failure into 1, and an abort that never reaches the exit call
# would hang the board, so every non-zero status is checked for its exact value.
run board_selftest_pass
check "self-test returns 0 from main: status 0" test "$status" -eq 0
check "self-test output unflushed at exit still arrives" \
  test "$out" = $'board self-test: startup ok\nboard self-test: pass'
check "self-test writes standard error apart from standard output" \
  test "$err" = "board self-test: stderr"

run board_selftest_exit3
check "exit(3): status 3" test "$status" -eq 3

run board_selftest_abort
check "failed assertion: status 134 (abort)" test "$status" -eq 134
check "failed assertion: report on standard error" contains "$err" 'assertion "divisor == 0.0f" failed'

run board_selftest_fault
check "undefined instruction: status 139 (fault)" test "$status" -eq 139
check "undefined instruction: HardFault reported" contains "$err" "unexpected exception 03"

run board_selftest_hang --timeout 3
check "hung board: stopped by the time limit, status 124" test "$status" -eq 124

# beltcheck as built for the board.
run beltcheck
check "beltcheck: status 0" test "$status" -eq 0
check "beltcheck: prints the pass line and a newline" stdout_is "All debounce tests passed"
check "beltcheck: nothing on standard error" test -z "$err"

# The same source with an occupancy debounce of 200 ms: the third check must stop it.
run beltcheck_failing_cal
check "beltcheck with failing calibration: non-zero status" test "$status" -ne 0
check "beltcheck with failing calibration: nothing on standard output" test -z "$out"
check "beltcheck with failing calibration: assertion report for line 41" contains "$err" \
  'assertion "Rte_Read_OccupancyFiltered().value == OCC_OCCUPIED" failed: file "beltcheck", line 41, function: main'

section "Desktop and board back to back"
# The generated scenarios come from a fixed seed: a failure reruns the same way.
rm -f "$build_dir/measured-stack.txt"
if bash "$board_dir/back-to-back.sh" --seed "${BACK_TO_BACK_SEED:-1}"; then
  passed=$((passed + 1))
  echo "ok: desktop and board give the same bytes"
else
  failed=$((failed + 1))
  echo "FAILED: desktop and board differ (see above)"
fi

section "Requirement campaign on the board: every requirement covered and passed, as on the desktop"
# The same campaign through the board's scenario player and through the desktop's core: the
# reports hold no times, so the two must be the same bytes, verdict for verdict.
cmake --build "$build_dir/host-tools" --target seatbelt_test >/dev/null
campaign=(--requirements requirements/seatbelt_reminder.md requirements/scenarios)
board_status=0
"$build_dir/host-tools/bin/seatbelt_test" --board --jobs 2 --output-dir "$work/board-campaign" \
  --junit "$build_dir/requirements-board.xml" "${campaign[@]}" >"$work/board-report" ||
  board_status=$?
desktop_status=0
"$build_dir/host-tools/bin/seatbelt_test" --jobs 2 --output-dir "$work/desktop-campaign" \
  "${campaign[@]}" >"$work/desktop-report" || desktop_status=$?
tail -n 1 "$work/board-report"
check "requirement campaign on the board: every testcase passed" test "$board_status" -eq 0
check "requirement campaign: the board's report is the desktop's" \
  cmp "$work/board-report" "$work/desktop-report"

section "Footprint against the budgets ($board_dir/footprint-budget.txt), stack as measured"
measured=()
[ ! -f "$build_dir/measured-stack.txt" ] || measured=(--measured "$build_dir/measured-stack.txt")
if python3 "$board_dir/footprint.py" --build-dir "$build_dir" \
  --budget "$board_dir/footprint-budget.txt" --output "$build_dir/footprint.md" "${measured[@]}"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

section "Cortex-M checks done"
echo "board: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
