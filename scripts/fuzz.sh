#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset: clang with AddressSanitizer+UndefinedBehaviorSanitizer):
# the scenario parser, the seatbelt components and the FMI API of both FMUs; and runs each for a
# bounded time on its seed corpus. Fails on any crash, sanitizer report, failed check, hang or
# leak, and then keeps the crash input and the log and says how to replay them.
#   FUZZ_SECONDS    run time per target (default 60)
#   FUZZ_BUILD_DIR  build folder (default build/fuzz, the preset's)
#   FUZZ_WORK_DIR   folder for the grown corpora, logs and crash inputs (default: a temporary
#                   one, removed when every target passed)
# The seed corpora in the repository are only read; new inputs go to the work folder.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${FUZZ_SECONDS:-60}
# libFuzzer reads -max_total_time=0 as "no limit".
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "FUZZ_SECONDS must be a whole number above 0" >&2; exit 2; }
build=${FUZZ_BUILD_DIR:-build/fuzz}
if [ -n "${FUZZ_WORK_DIR:-}" ]; then
  work=$FUZZ_WORK_DIR
  keep_work=1
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz.XXXXXX")
  keep_work=0
fi

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target seatbelt_component_fuzz seatbelt_scenario_fuzz \
  fmi3_api_fuzz fmi2_api_fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
# fuzz NAME TARGET [LIBFUZZER OPTIONS...] -- SEED_DIR...
fuzz() {
  local name=$1 target=$2
  shift 2
  local options=()
  while [ "$1" != "--" ]; do
    options+=("$1")
    shift
  done
  shift
  local dir="$work/$name"
  mkdir -p "$dir/corpus" "$dir/crashes"
  echo "fuzzing $name ($target) for ${seconds}s"
  # The FMI targets send the console of each input, and so a sanitizer report, to this file.
  export FMU_FUZZ_CONSOLE="$dir/console"
  # -timeout: one input running longer than 10 s counts as a hang.
  if "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/crashes/" "${options[@]}" "$dir/corpus" "$@" >"$dir/log" 2>&1 &&
      [ -z "$(ls -A "$dir/crashes")" ]; then
    grep -E '^stat::number_of_executed_units|^Done ' "$dir/log" | tail -n 1 | sed 's/^/  /'
    echo "  $name: ok, $(find "$dir/corpus" -type f | wc -l) corpus entries grown"
  else
    echo "  $name: FAILED; last lines of $dir/log:"
    grep -v -E '^#[0-9]+' "$dir/log" | tail -n 40 | sed 's/^/    /'
    if [ -s "$dir/console" ]; then
      echo "  what the last input wrote to the console ($dir/console):"
      tail -n 40 "$dir/console" | sed 's/^/    /'
    fi
    for crash in "$dir"/crashes/*; do
      [ -e "$crash" ] || continue
      echo "  input: $crash (replay: $build/bin/$target $crash)"
      od -A d -t x1z -v "$crash" | head -n 8 | sed 's/^/    /'
    done
    failed=1
  fi
}

fuzz component seatbelt_component_fuzz -- seatbelt/fuzz/corpus
fuzz scenario seatbelt_scenario_fuzz -dict=host/seatbelt_sim/fuzz/scenario.dict -- \
  host/seatbelt_sim/fuzz/corpus host/seatbelt_sim/scenarios
fuzz fmi3_api fmi3_api_fuzz -- fmu/fuzz/corpus/fmi3
fuzz fmi2_api fmi2_api_fuzz -- fmu/fuzz/corpus/fmi2

if [ "$failed" -ne 0 ]; then
  echo "fuzzing found a fault; logs and inputs kept in $work" >&2
  exit 1
fi
[ "$keep_work" -eq 1 ] || rm -rf "$work"
echo "fuzzing: no fault found in ${seconds}s per target"
