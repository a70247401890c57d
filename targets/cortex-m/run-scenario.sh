#!/usr/bin/env bash
# Runs a seatbelt scenario on the emulated board and gives what the desktop's
#   build/bin/seatbelt_sim [--csv FILE] [SCENARIO_FILE]
# gives: the same standard output, standard error and exit status, and the same CSV file.
#
#   run-scenario.sh [--timeout SECONDS] [--csv FILE] [--stack] [--] [SCENARIO_FILE]
#
# Without SCENARIO_FILE it runs the built-in drive. The desktop half of the cortex-m build
# (scenario_table) reads and checks the file and writes the run as a run table, so a bad
# scenario gets seatbelt_sim's message and status 2 without the board being started; the
# board's scenario player reads the table through semihosting, runs the simulation and writes
# the CSV file itself. --stack adds "stack: N of M bytes used" on standard error after the run,
# as the board measured it. --timeout (default 60) stops a board that does not end; the status is
# then 124. Paths are the caller's: run it from anywhere after
#   cmake --preset cortex-m && cmake --build --preset cortex-m
# CORTEXM_BUILD_DIR selects another build folder of that preset.
set -euo pipefail

board_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${CORTEXM_BUILD_DIR:-$board_dir/../../build/cortex-m}
player=$build_dir/bin/scenario_player.elf
table_tool=$build_dir/host-tools/bin/scenario_table

usage() {
  echo "usage: $0 [--timeout SECONDS] [--csv FILE] [--stack] [--] [SCENARIO_FILE]" >&2
  exit 2
}

timeout_args=()
csv_args=()
stack_args=()
scenario_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --timeout)
      [ $# -ge 2 ] || usage
      timeout_args=(--timeout "$2")
      shift 2
      ;;
    --csv)
      [ $# -ge 2 ] || usage
      csv_args=(--csv "$2")
      shift 2
      ;;
    --stack)
      stack_args=(--stack)
      shift
      ;;
    --)
      shift
      [ $# -le 1 ] || usage
      scenario_args=(-- "$@")
      break
      ;;
    -*)
      usage
      ;;
    *)
      [ $# -eq 1 ] || usage
      scenario_args=(-- "$1")
      shift
      ;;
  esac
done

for built in "$player" "$table_tool"; do
  if [ ! -x "$built" ]; then
    echo "$0: $built is missing; build the cortex-m preset first:" >&2
    echo "  cmake --preset cortex-m && cmake --build --preset cortex-m" >&2
    exit 2
  fi
done

# The table's path reaches the board on its command line, which splits at blanks.
work=$(mktemp -d /tmp/run-scenario.XXXXXX)
trap 'rm -rf "$work"' EXIT

status=0
"$table_tool" --output "$work/run.table" "${csv_args[@]}" "${scenario_args[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  exit "$status"
fi
"$board_dir/run-qemu.sh" "${timeout_args[@]}" "$player" "${stack_args[@]}" "$work/run.table" ||
  status=$?
exit "$status"
