#!/usr/bin/env bash
# Back-to-back comparison of the desktop and the board: the same programs, built from the same
# sources for both, run on the same inputs, must give the same bytes.
#   - seatbelt_sim against the board's scenario player (run-scenario.sh): every example
#     scenario, the built-in drive, scenarios with passing and failing expectations, scenarios
#     generated from a fixed seed and bad input; standard output, standard error, exit status,
#     the CSV file and the JUnit report (its times aside);
#   - ecu_startup in every mode of its --help, and valuelist: output and exit status.
# The first difference of each failed comparison is printed with its line. The deepest stack the
# board measured in the scenario runs is written to BUILD_DIR/measured-stack.txt for the
# footprint check. Run after a build of the cortex-m preset; it builds the desktop programs it
# compares with in that build's host-tools folder.
#
#   back-to-back.sh [--seed N] [--count N]     (defaults: seed 1, 24 generated scenarios)
#   CORTEXM_BUILD_DIR  the cortex-m build folder (default build/cortex-m)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

board_dir=targets/cortex-m
build_dir=${CORTEXM_BUILD_DIR:-build/cortex-m}
host_bin=$build_dir/host-tools/bin
seed=1
count=24
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=${2:?--seed needs a number}; shift 2 ;;
    --count) count=${2:?--count needs a number}; shift 2 ;;
    *) echo "usage: $0 [--seed N] [--count N]" >&2; exit 2 ;;
  esac
done

echo "Desktop programs to compare with ($host_bin)"
cmake --build "$build_dir/host-tools" --target seatbelt_sim ecu_startup valuelist >/dev/null

work=$(mktemp -d /tmp/back-to-back.XXXXXX)
trap 'rm -rf "$work"' EXIT
compared=0
differ=0
deepest_stack=0
stack_size=0

# first_difference HOST_FILE BOARD_FILE WHAT: the first line that differs, bytes escaped.
first_difference() {
  python3 - "$@" <<'PY'
import sys
host, board = (open(path, "rb").read().split(b"\n") for path in sys.argv[1:3])
for number in range(max(len(host), len(board))):
    lines = [side[number] if number < len(side) else None for side in (host, board)]
    if lines[0] != lines[1]:
        shown = ["(none)" if line is None else repr(line)[2:-1] for line in lines]
        print(f"    {sys.argv[3]}, first difference at line {number + 1}:")
        print(f"      desktop: {shown[0]}\n      board:   {shown[1]}")
        break
PY
}

# same WHAT: compares the desktop's files $work/host.* with the board's $work/board.*.
same() {
  local what=$1 part ok=1
  compared=$((compared + 1))
  # The reports' times are each side's own wall time.
  for part in host board; do
    [ ! -e "$work/$part.xml" ] || sed -i -E 's/ time="[0-9.]+"/ time="T"/' "$work/$part.xml"
  done
  for part in status out err csv xml; do
    if [ -e "$work/host.$part" ] || [ -e "$work/board.$part" ]; then
      if ! cmp -s "$work/host.$part" "$work/board.$part" 2>/dev/null; then
        [ "$ok" -eq 0 ] || echo "DIFFERS: $what"
        ok=0
        if [ -e "$work/host.$part" ] && [ -e "$work/board.$part" ]; then
          first_difference "$work/host.$part" "$work/board.$part" "$part"
        else
          echo "    $part: written on one side only"
        fi
      fi
    fi
  done
  rm -f "$work"/host.* "$work"/board.*
  if [ "$ok" -eq 1 ]; then
    echo "same: $what"
  else
    differ=$((differ + 1))
  fi
}

# scenario WHAT [ARGUMENT...]: seatbelt_sim and the scenario player on the same arguments, an
# argument @CSV@ (@XML@) naming each side's own CSV file (JUnit report); the board's stack line
# is taken off its standard error and kept.
scenario() {
  local what=$1 status=0 argument
  shift
  local host_args=() board_args=()
  for argument in "$@"; do
    if [ "$argument" = "@CSV@" ]; then
      host_args+=("$work/host.csv")
      board_args+=("$work/board.csv")
    elif [ "$argument" = "@XML@" ]; then
      host_args+=("$work/host.xml")
      board_args+=("$work/board.xml")
    else
      host_args+=("$argument")
      board_args+=("$argument")
    fi
  done
  "$host_bin/seatbelt_sim" "${host_args[@]}" >"$work/host.out" 2>"$work/host.err" || status=$?
  echo "$status" >"$work/host.status"
  status=0
  "$board_dir/run-scenario.sh" --stack "${board_args[@]}" >"$work/board.out" \
    2>"$work/board.err" || status=$?
  echo "$status" >"$work/board.status"
  local line
  line=$(tail -n 1 "$work/board.err")
  if [[ "$line" =~ ^stack:\ ([0-9]+)\ of\ ([0-9]+)\ bytes\ used$ ]]; then
    sed -i '$d' "$work/board.err"
    [ "${BASH_REMATCH[1]}" -le "$deepest_stack" ] || deepest_stack=${BASH_REMATCH[1]}
    stack_size=${BASH_REMATCH[2]}
  fi
  same "seatbelt_sim $what"
}

echo
echo "seatbelt_sim: example scenarios, the built-in drive, generated scenarios, bad input"
for file in host/seatbelt_sim/scenarios/*.txt host/seatbelt_sim/tests/scenarios/*.txt; do
  scenario "$file" --csv @CSV@ --junit @XML@ "$file"
done
scenario "built-in drive" --csv @CSV@ --junit @XML@

echo "generated scenarios: seed $seed, $count files; rerun one with"
echo "  python3 $board_dir/generate_scenarios.py --seed $seed --count $count DIR"
echo "  $board_dir/run-scenario.sh --csv board.csv DIR/FILE  and  build/bin/seatbelt_sim --csv host.csv DIR/FILE"
python3 "$board_dir/generate_scenarios.py" --seed "$seed" --count "$count" "$work/generated"
for file in "$work"/generated/*.txt; do
  scenario "$(basename "$file")" --csv @CSV@ "$file"
done

printf '5 speed 30\n5 sped 40\nend 100\n' >"$work/bad.txt"
scenario "bad scenario" "$work/bad.txt"
printf '5 speed 30\n' >"$work/no_end.txt"
scenario "scenario without an end" "$work/no_end.txt"
scenario "missing scenario file" "$work/missing.txt"
scenario "CSV file that cannot be created" --csv "$work/no/such/dir.csv"
scenario "JUnit report that cannot be created" --junit "$work/no/such/dir.xml"
printf 'expect speed_raw == 1 at 200\nend 100\n' >"$work/late.txt"
scenario "expectation after the run's last tick" "$work/late.txt"

echo
echo "ecu_startup: every mode of its --help; valuelist"
# program NAME ARGUMENT...: the desktop program and its board build on the same arguments.
program() {
  local name=$1 status=0
  shift
  "$host_bin/$name" "$@" >"$work/host.out" 2>"$work/host.err" || status=$?
  echo "$status" >"$work/host.status"
  status=0
  "$board_dir/run-qemu.sh" "$build_dir/bin/$name.elf" "$@" >"$work/board.out" \
    2>"$work/board.err" || status=$?
  echo "$status" >"$work/board.status"
  same "$name $*"
}
program ecu_startup
program ecu_startup --help
program ecu_startup -h
program ecu_startup --emergency-recovery
for phase in init bsw_init rte_start app_init running; do
  for error in "" clock_fail ram_test_fail flash_crc_fail bsw_init_fail rte_start_fail \
    app_init_fail watchdog_reset stack_overflow; do
    error_args=()
    [ -z "$error" ] || error_args=(--error "$error")
    program ecu_startup --fail-at "$phase" "${error_args[@]}"
    [ -z "$error" ] || error_args=("--error=$error")
    program ecu_startup "--fail-at=$phase" "${error_args[@]}" --emergency-recovery
  done
done
program valuelist

echo
echo "back-to-back: $compared compared, $((compared - differ)) same, $differ differ"
echo "deepest stack of the scenario player: $deepest_stack of $stack_size bytes"
echo "scenario_player.elf $deepest_stack $stack_size" >"$build_dir/measured-stack.txt"
[ "$differ" -eq 0 ]
