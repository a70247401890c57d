#!/usr/bin/env bash
# Mutation testing of the four seatbelt components: builds each mutant of seatbelt/*.cpp, runs
# the chosen suite against it and reports killed, survived or not compiled, then
#   mutants: K killed, S survived, C not compiled, E recorded equivalent of N
# A survivor of the requirement-based suite that mutation/equivalent.md does not record fails
# the run. See scripts/mutation.py for the operators and the IDs.
#
#   scripts/mutation.sh [--suite requirements|unit|all] [--list] [--only ID,...] [--jobs N]
#                       [--work DIR] [--no-gate]
set -euo pipefail
exec python3 "$(dirname "${BASH_SOURCE[0]}")/mutation.py" "$@"
