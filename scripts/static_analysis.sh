#!/usr/bin/env bash
# clang-tidy (rules in .clang-tidy) and cppcheck over the project's own sources, with the files,
# include folders and flags the build uses: both tools read the build's compile database, so a
# new or moved folder is checked without a change here. Tests, benchmarks, fuzzers, their
# support/, the examples, the board support and generated files are left out, except the logic
# the suite trusts to judge the system: the support code of every fuzz/ folder (decoders,
# reference models, checks and oracles; not the libFuzzer entry points *_fuzz.cpp) and the plain-C
# baseline chain that the benchmarks and their tests compare the components with. Runs in
# parallel; any finding fails.
# Usage: scripts/static_analysis.sh [BUILD_DIR]: the compile database of an existing build
# (default: a build of the release preset, made first).
#   STATIC_ANALYSIS_JOBS  parallel jobs (default: the number of processors)
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
jobs=${STATIC_ANALYSIS_JOBS:-$(nproc)}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The database's entries for the project's own sources, each file once (a source built into
# several programs is built the same way in each).
python3 - "$build/compile_commands.json" "$PWD" "$work/compile_commands.json" <<'PY'
import json, os, re, sys
database, root, output = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
left_out = re.compile(r'(^|/)(tests|bench|fuzz)/|^(support|examples|targets|build)/')
trusted = re.compile(r'(^|/)fuzz/(?!.*_fuzz\.cpp$)[^/]+$|(^|/)bench/baseline_chain\.c$')
kept, seen = [], set()
for entry in json.load(open(database)):
    path = os.path.realpath(os.path.join(entry['directory'], entry['file']))
    relative = os.path.relpath(path, root)
    if relative.startswith('..') or relative in seen:
        continue
    if left_out.search(relative) and not trusted.search(relative):
        continue
    seen.add(relative)
    kept.append(entry)
json.dump(kept, open(output, 'w'), indent=1)
PY
count=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' \
  "$work/compile_commands.json")
status=0

echo "clang-tidy: $count files, $jobs jobs"
tidy_status=0
run-clang-tidy -quiet -j "$jobs" -p "$work" >"$work/clang-tidy.raw" 2>&1 || tidy_status=$?
# run-clang-tidy always asks for colour; the log reads better without it.
sed 's/\x1b\[[0-9;]*m//g' "$work/clang-tidy.raw" >"$work/clang-tidy.log"
if [ "$tidy_status" -ne 0 ] || grep -q -E 'warning:|error:' "$work/clang-tidy.log"; then
  grep -v -E '^(clang-tidy|Running clang-tidy|[0-9]+ warnings? (and [0-9]+ errors? )?generated)' \
    "$work/clang-tidy.log" || true
  status=1
fi

echo "cppcheck: $count files, $jobs jobs"
cppcheck --project="$work/compile_commands.json" -j "$jobs" --quiet --error-exitcode=1 \
  --enable=warning,style,performance,portability --inline-suppr \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression || status=1

exit "$status"
