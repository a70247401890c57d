#!/usr/bin/env bash
# Runs a program of the Cortex-M build on QEMU's emulation of the MPS2 AN386 board (Cortex-M4).
# The program's standard output and standard error (semihosting) are this script's; its exit
# status is the program's, or 124 when the program has not ended within the time limit, so a
# hung board cannot hang the caller.
#
#   run-qemu.sh [--timeout SECONDS] PROGRAM.elf      (default limit: 60 seconds)
set -euo pipefail

limit=60
if [ "${1:-}" = "--timeout" ]; then
  limit=${2:?--timeout needs a number of seconds}
  shift 2
fi
if [ $# -ne 1 ]; then
  echo "usage: $0 [--timeout SECONDS] PROGRAM.elf" >&2
  exit 2
fi

# No display, monitor or serial port: the console is semihosting only, enabled here because a
# board without a debugger would fault on its breakpoint instruction. Standard input is closed:
# the programs read none.
exec timeout --kill-after=5 "$limit" \
  qemu-system-arm -machine mps2-an386 -cpu cortex-m4 \
  -display none -monitor none -serial null \
  -semihosting-config enable=on,target=native \
  -kernel "$1" </dev/null
