#!/usr/bin/env bash
# MC/DC and branch coverage with clang's source-based coverage (preset mcdc: clang-19,
# -fcoverage-mcdc): builds, runs the whole test suite, and prints per file the lines, branches
# and MC/DC conditions covered, for the project's own code (tests, benchmarks, fuzzers, support/
# and the examples not counted). Gate: 100 % of the branches and of the MC/DC conditions in the
# component modules, seatbelt/, engine_ecu/, instrument_cluster/ and abs_malfunction/; every other
# folder is shown. Every program and test the build makes is measured, so a new one counts
# without a change here.
#   MCDC_LLVM_SUFFIX  version suffix of llvm-profdata and llvm-cov (default: -19)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=build/mcdc
gated=(seatbelt engine_ecu instrument_cluster abs_malfunction)
suffix=${MCDC_LLVM_SUFFIX:--19}

cmake --preset mcdc >/dev/null
cmake --build --preset mcdc
rm -rf "$build/profiles"
mkdir -p "$build/profiles"
# One raw profile per binary and process; tests run in parallel.
if ! LLVM_PROFILE_FILE="$PWD/$build/profiles/%m-%p.profraw" ctest --preset mcdc \
    >"$build/ctest.log" 2>&1; then
  cat "$build/ctest.log"
  exit 1
fi
"llvm-profdata$suffix" merge -sparse "$build"/profiles/*.profraw -o "$build/suite.profdata"

# Every instrumented executable of the build: its coverage mapping says which code it holds.
objects=()
while IFS= read -r -d '' file; do
  if readelf -S "$file" 2>/dev/null | grep -q __llvm_covmap; then
    objects+=(-object "$file")
  fi
done < <(find "$build" -type f -perm -u+x -print0 | sort -z)
[ ${#objects[@]} -gt 0 ] || { echo "no instrumented programs in $build" >&2; exit 1; }

# llvm-cov may warn of functions with "mismatched data": inline functions that a program holds the
# mapping of but never emitted (hash 0); they are counted from the programs that did.
"llvm-cov$suffix" export -summary-only -instr-profile "$build/suite.profdata" "${objects[@]:1}" \
  >"$build/summary.json"

python3 - "$build/summary.json" "$PWD" "${gated[@]}" <<'PY'
import json, os, re, sys
summary, root, gated = sys.argv[1], sys.argv[2], sys.argv[3:]
left_out = re.compile(r'(^|/)(tests|bench|fuzz)/|^(support|examples|build)/|^\.\.')
rows = []
for entry in json.load(open(summary))['data'][0]['files']:
    name = os.path.relpath(entry['filename'], root)
    s = entry['summary']
    if left_out.search(name) or s['functions']['count'] == 0:
        continue  # not the project's own code, or a header without code
    rows.append((name, s['lines'], s['branches'], s['mcdc']))
rows.sort()

def cell(part):
    if part['count'] == 0:
        return f'{"-":>15}'
    return f'{part["covered"]:>5}/{part["count"]:<5}{100.0 * part["covered"] / part["count"]:>4.0f}%'

width = max(len(r[0]) for r in rows)
print(f'{"file":<{width}}  {"lines":>15}  {"branches":>15}  {"MC/DC conditions":>16}')
failed = []
for name, lines, branches, mcdc in rows:
    is_gated = name.split('/')[0] in gated
    short = [what for what, part in (('branches', branches), ('MC/DC', mcdc))
             if is_gated and part['covered'] < part['count']]
    if short:
        failed.append(f'{name}: {" and ".join(short)} below 100 %')
    mark = '  <' if short else ''
    print(f'{name:<{width}}  {cell(lines)}  {cell(branches)}  {cell(mcdc)}{mark}')
for folder in gated:
    parts = [r for r in rows if r[0].split('/')[0] == folder]
    conditions = sum(r[3]['count'] for r in parts)
    covered = sum(r[3]['covered'] for r in parts)
    branches = sum(r[2]['count'] for r in parts)
    branches_covered = sum(r[2]['covered'] for r in parts)
    print(f'mcdc {"ok  " if covered == conditions and branches_covered == branches else "LOW "}'
          f'{folder + "/":<20} MC/DC {covered}/{conditions} conditions, '
          f'branches {branches_covered}/{branches} (gate: 100 %)')
for text in failed:
    print(f'BELOW {text}')
sys.exit(1 if failed else 0)
PY
