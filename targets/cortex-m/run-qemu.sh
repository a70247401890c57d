#!/usr/bin/env bash
# Runs a program of the Cortex-M build on QEMU's emulation of the MPS2 AN386 board (Cortex-M4).
# The program's standard output and standard error (semihosting) are this script's; its exit
# status is the program's, or 124 when the program has not ended within the time limit, so a
# hung board cannot hang the caller. The arguments reach the program as its semihosting command
# line, after its name; the board splits that line at blanks, so an argument cannot hold one.
#
#   run-qemu.sh [--timeout SECONDS] PROGRAM.elf [ARGUMENT...]     (default limit: 60 seconds)
set -euo pipefail

limit=60
if [ "${1:-}" = "--timeout" ]; then
  limit=${2:?--timeout needs a number of seconds}
  shift 2
fi
if [ $# -lt 1 ]; then
  echo "usage: $0 [--timeout SECONDS] PROGRAM.elf [ARGUMENT...]" >&2
  exit 2
fi
program=$1
shift

# QEMU's option syntax separates with commas and takes a doubled comma as a comma.
config="enable=on,target=native,arg=$(basename "$program" .elf)"
for argument in "$@"; do
  if [[ -z "$argument" || "$argument" == *[[:space:]]* ]]; then
    echo "$0: an argument for the board can be neither empty nor hold a blank: '$argument'" >&2
    exit 2
  fi
  config+=",arg=${argument//,/,,}"
done

# No display, monitor or serial port: the console is semihosting only, enabled here because a
# board without a debugger would fault on its breakpoint instruction. Standard input is closed:
# the programs read none.
exec timeout --kill-after=5 "$limit" \
  qemu-system-arm -machine mps2-an386 -cpu cortex-m4 \
  -display none -monitor none -serial null \
  -semihosting-config "$config" \
  -kernel "$program" </dev/null
