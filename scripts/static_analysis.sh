#!/usr/bin/env bash
# clang-tidy (rules in .clang-tidy) and cppcheck over the project's own sources, tests, benchmarks
# and fuzzers excluded. Any finding fails.
# Usage: scripts/static_analysis.sh [BUILD_DIR]: the compile database of an existing build
# (default: a build of the release preset, made first).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ $# -gt 0 ]; then
  build=$1
else
  build=build/release
  cmake --preset release >/dev/null
  cmake --build --preset release >/dev/null  # generated files and a fresh compile database
fi
[ -f "$build/compile_commands.json" ] || { echo "no compile database in $build" >&2; exit 2; }

mapfile -t sources < <(git ls-files '*.c' '*.cpp' | grep -v -E '(^|/)(tests|bench|fuzz)/|^(support|examples|targets)/')

echo "clang-tidy: ${#sources[@]} files"
status=0
for source in "${sources[@]}"; do
  if ! out=$(clang-tidy --quiet -p "$build" "$source" 2>&1); then
    echo "$out"
    status=1
  elif grep -q -E 'warning:|error:' <<<"$out"; then
    echo "$out"
    status=1
  fi
done

echo "cppcheck: ${#sources[@]} files"
cppcheck --quiet --error-exitcode=1 --std=c++17 --enable=warning,style,performance,portability \
  --inline-suppr --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  -I platform -I seatbelt -I rte -I instrument_cluster/Diagnostics -I engine_ecu/src \
  "${sources[@]}" || status=1

exit "$status"
