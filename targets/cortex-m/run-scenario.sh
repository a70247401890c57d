#!/usr/bin/env bash
# Runs a seatbelt scenario on the emulated board and gives what the desktop's
#   build/bin/seatbelt_sim [--csv FILE] [--junit FILE] [SCENARIO_FILE]
# gives: the same standard output, standard error and exit status (3 when an expectation
# failed), and the same CSV file and JUnit report (but for the report's times, which are this
# script's wall time of the board run).
#
#   run-scenario.sh [--timeout SECONDS] [--csv FILE] [--junit FILE] [--stack] [--] [SCENARIO_FILE]
#
# Without SCENARIO_FILE it runs the built-in drive. The desktop half of the cortex-m build
# (scenario_table) reads and checks the file and writes the run as a run table, so a bad
# scenario gets seatbelt_sim's message and status 2 without the board being started; the
# board's scenario player reads the table through semihosting, runs the simulation, judges the
# scenario's expectations and writes the CSV file and the report itself. The report is put in
# place whole once the run is over, as seatbelt_sim writes it. --stack adds "stack: N of M bytes
# used" on standard error after the run, as the board measured it. --timeout (whole seconds,
# default 60) stops a board that does not end; the status is then 124. Options take their value
# as --name VALUE or --name=VALUE, each at most once; a bad command line ends with status 2.
# Paths are the caller's: run it from anywhere after
#   cmake --preset cortex-m && cmake --build --preset cortex-m
# CORTEXM_BUILD_DIR selects another build folder of that preset.
set -euo pipefail

program=$(basename "$0")
board_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${CORTEXM_BUILD_DIR:-$board_dir/../../build/cortex-m}
player=$build_dir/bin/scenario_player.elf
table_tool=$build_dir/host-tools/bin/scenario_table

usage_error() {
  printf '%s: %s\n' "$program" "$1" >&2
  echo "usage: $program [--timeout SECONDS] [--csv FILE] [--junit FILE] [--stack] [--] [SCENARIO_FILE]" >&2
  exit 2
}

# quoted TEXT: TEXT in single quotes, control bytes escaped as \xNN, as the host programs quote.
quoted() {
  LC_ALL=C python3 -c 'import sys; t = sys.argv[1].encode("utf-8", "surrogateescape")
print("\x27" + "".join(chr(b) if 0x20 <= b < 0x7f else "\\x%02x" % b for b in t) + "\x27")' "$1"
}

timeout_s=""
csv=""
junit=""
stack=""
given=" "
scenario_args=()
take_option() {  # NAME VALUE: sets the option once
  case $given in *" $1 "*) usage_error "option '$1' given more than once" ;; esac
  given+="$1 "
  [ -n "$2" ] || usage_error "option '$1' needs a value"
  case $1 in
    --timeout)
      [[ $2 =~ ^[0-9]{1,6}$ ]] && [ "$((10#$2))" -ge 1 ] ||
        usage_error "invalid timeout $(quoted "$2") (expected whole seconds, 1 to 999999)"
      timeout_s=$((10#$2))
      ;;
    --csv) csv=$2 ;;
    --junit) junit=$2 ;;
  esac
}
while [ $# -gt 0 ]; do
  case $1 in
    --timeout=* | --csv=* | --junit=*)
      take_option "${1%%=*}" "${1#*=}"
      shift
      ;;
    --timeout | --csv | --junit)
      [ $# -ge 2 ] && [[ $2 != --* ]] || usage_error "option '$1' needs a value"
      take_option "$1" "$2"
      shift 2
      ;;
    --stack)
      case $given in *" --stack "*) usage_error "option '--stack' given more than once" ;; esac
      given+="--stack "
      stack=--stack
      shift
      ;;
    --)
      shift
      [ $# -le 1 ] || usage_error "more than one scenario file"
      scenario_args=(-- "$@")
      break
      ;;
    -?*)
      usage_error "unknown option $(quoted "$1")"
      ;;
    *)
      [ $# -eq 1 ] || usage_error "more than one scenario file"
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

table_args=(--output "$work/run.table")
[ -z "$csv" ] || table_args+=(--csv "$csv")
[ -z "$junit" ] || table_args+=(--junit "$junit")
status=0
"$table_tool" "${table_args[@]}" "${scenario_args[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  exit "$status"
fi
qemu_args=()
[ -z "$timeout_s" ] || qemu_args=(--timeout "$timeout_s")
started=$EPOCHREALTIME
"$board_dir/run-qemu.sh" "${qemu_args[@]}" "$player" $stack "$work/run.table" || status=$?

# The report, as the board wrote it, goes in place whole with this run's wall time.
if [ -n "$junit" ] && [ -f "$work/run.table.junit" ]; then
  seconds=$(python3 -c 'import sys; print("%.3f" % max(0.0, float(sys.argv[2]) - float(sys.argv[1])))' \
    "$started" "$EPOCHREALTIME")
  sed -i -E '1,3s/ time="[0-9.]+"/ time="'"$seconds"'"/' "$work/run.table.junit"
  target=$junit
  if [ -e "$target" ] && [ ! -f "$target" ]; then
    cat "$work/run.table.junit" >"$target" || status=1
  else
    staged=$(mktemp "$(dirname "$target")/.$(basename "$target").XXXXXX") &&
      cat "$work/run.table.junit" >"$staged" && mv -f "$staged" "$target" || {
      rm -f "${staged:-}"
      echo "seatbelt_sim: cannot write $(quoted "$target")" >&2
      status=1
    }
  fi
fi
exit "$status"
