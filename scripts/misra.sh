#!/usr/bin/env bash
# MISRA C:2012 check (cppcheck's misra addon) of the C code that is installed or runs on the
# microcontroller, with the headers it includes. Every finding must be covered by a record in
# misra/deviations.md: either a record that names the finding's file, or a marked line
#   /* cppcheck-suppress misra-c2012-N.M ; MD-nn */
# directly above (or at the end of) the line, citing a record that names the file. Fails on a
# finding without a record, on a marker or record that covers nothing, and on a marker that
# cites a record that does not allow it. Prints the findings per rule.
#
# Each C file is checked as a translation unit of its own, with the project's header folders on
# the include path (the C library's headers are not read). Files of targets/cortex-m/ are
# checked as 32-bit code; new files there are picked up without a change here.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

files=(
  engine_ecu/src/StartupMonitor.c
  instrument_cluster/Diagnostics/IC_RaceAnalysis.c
  seatbelt/check/beltcheck.c
  valuelist/valuelist.c
  abs_malfunction/simulation/wheelwatch.c
  targets/cortex-m/*.c
)
records=misra/deviations.md
addon=${MISRA_ADDON:-misra}

# The folders of the project's own headers; tests, benchmarks, fuzzers and the examples (which
# bring a Std_Types.h of their own) stay off the path.
mapfile -t include_dirs < <(scripts/list_sources.sh '*.h' | xargs -n1 dirname | sort -u |
  grep -v -E '(^|/)(tests|bench|fuzz)(/|$)|^examples/')

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check_one() { # file, output
  local platform=unix64
  [[ $1 == targets/cortex-m/* ]] && platform=unix32
  # A build folder of its own per run: the addon's intermediate files go there, not beside the
  # source, where two runs in one folder would share them.
  mkdir -p "$2.d"
  cppcheck --addon="$addon" --std=c11 --language=c --platform="$platform" --quiet \
    --cppcheck-build-dir="$2.d" \
    --enable=missingInclude --suppress=missingIncludeSystem \
    --template='{file}\t{line}\t{id}\t{severity}\t{message}' \
    "${include_dirs[@]/#/-I}" "$1" >"$2" 2>&1 || echo "cppcheck failed on $1" >>"$2"
}

echo "misra: ${#files[@]} files, cppcheck $(cppcheck --version | cut -d' ' -f2)"
pids=()
for i in "${!files[@]}"; do
  check_one "${files[$i]}" "$work/$i.out" &
  pids+=($!)
  # Two at a time: each run is short, and the machine is shared.
  if [ $((i % 2)) -eq 1 ]; then wait "${pids[@]}"; pids=(); fi
done
[ ${#pids[@]} -eq 0 ] || wait "${pids[@]}"
cat "$work"/*.out >"$work/findings"

python3 - "$records" "$work/findings" <<'PY'
import collections, re, sys

records_path, findings_path = sys.argv[1], sys.argv[2]

# ---- The records: "## MD-nn title", then the fields "- **Reported as:**", "- **Files:**" and
# "- **Marked lines:**", each a list of `quoted` items that may go on over indented lines. ----
fields = {'Reported as': 'ids', 'Files': 'files', 'Marked lines': 'marked'}
records = {}
current = key = None
for number, line in enumerate(open(records_path, encoding='utf-8'), 1):
    heading = re.match(r'^## ((?:MD|FP)-\d+)\b', line)
    field = re.match(r'^- \*\*([^*]+):\*\*(.*)$', line)
    if heading:
        current, key = heading.group(1), None
        if current in records:
            sys.exit(f'{records_path}:{number}: {current} is recorded twice')
        records[current] = {'ids': set(), 'files': set(), 'marked': set(), 'line': number}
        continue
    if field:
        key = fields.get(field.group(1))
        text = field.group(2)
    elif line.startswith('  ') and key:
        text = line
    else:
        key = None
        continue
    if current and key:
        records[current][key].update(re.findall(r'`([^`]+)`', text))
problems = []
for name, record in records.items():
    if not record['ids'] or not (record['files'] or record['marked']):
        problems.append(f'{records_path}:{record["line"]}: {name} names no checker id, or no '
                        'files and no marked lines')

# ---- The findings, each once (a header is read by several files). ----
findings = set()
for line in open(findings_path, encoding='utf-8', errors='replace'):
    parts = line.rstrip('\n').split('\t')
    if len(parts) < 5:
        if line.strip():
            problems.append(f'unexpected cppcheck output: {line.strip()}')
        continue
    path, row, checker_id = parts[0], int(parts[1] or 0), parts[2]
    findings.add((path, row, checker_id, parts[4]))

# ---- In-code markers of the files with findings or markers. ----
marker_re = re.compile(r'cppcheck-suppress\s+(\S+)\s*;\s*((?:MD|FP)-\d+)')
source_cache = {}
def lines_of(path):
    if path not in source_cache:
        try:
            source_cache[path] = open(path, encoding='utf-8').read().split('\n')
        except OSError:
            source_cache[path] = []
    return source_cache[path]

markers = {}  # (path, line the marker covers, checker id) -> [record, used]
marked_paths = {f[0] for f in findings} | {m for r in records.values() for m in r['marked']}
for path in sorted(marked_paths):
    for index, text in enumerate(lines_of(path)):
        for checker_id, record in marker_re.findall(text):
            # A comment alone on its line covers the next line; one after code covers its own.
            alone = text.strip().startswith(('/*', '//'))
            covered = index + 2 if alone else index + 1
            markers[(path, covered, checker_id)] = [record, False]
            if record not in records:
                problems.append(f'{path}:{index + 1}: marker cites {record}, which is not recorded')
            elif checker_id not in records[record]['ids'] or path not in records[record]['marked']:
                problems.append(f'{path}:{index + 1}: {record} does not allow {checker_id} '
                                'on marked lines of this file')

# ---- Each finding against the records. ----
per_rule = collections.defaultdict(lambda: collections.Counter())
used = set()
open_findings = []
for path, row, checker_id, message in sorted(findings):
    rule = checker_id.replace('misra-c2012-', 'Rule ')
    by_file = [n for n, r in records.items() if checker_id in r['ids'] and path in r['files']]
    marker = markers.get((path, row, checker_id))
    if by_file:
        per_rule[rule]['deviated'] += 1
        used.update((n, path) for n in by_file)
    elif (marker and marker[0] in records and path in records[marker[0]]['marked']
          and checker_id in records[marker[0]]['ids']):
        per_rule[rule]['deviated'] += 1
        marker[1] = True
        used.add((marker[0], path))
    else:
        per_rule[rule]['open'] += 1
        open_findings.append(f"{path}:{row}: {checker_id}"
                             + ("" if checker_id.startswith("misra-") else f" {message}"))

for (path, row, checker_id), (record, was_used) in sorted(markers.items()):
    if not was_used:
        problems.append(f'{path}:{row - 1}: marker for {checker_id} ({record}) covers no finding')
for name, record in records.items():
    for path in sorted(record['files'] | record['marked']):
        if (name, path) not in used:
            problems.append(f'{records_path}: {name} covers nothing in {path}')

def rule_key(rule):
    return [int(n) if n.isdigit() else n for n in re.split(r'[ .]', rule)]
print(f'{"finding":<24}{"deviated":>9}{"open":>6}')
for rule in sorted(per_rule, key=rule_key):
    counts = per_rule[rule]
    print(f'{rule:<24}{counts["deviated"]:>9}{counts["open"]:>6}')
total_deviated = sum(c['deviated'] for c in per_rule.values())
print(f'{"total":<24}{total_deviated:>9}{len(open_findings):>6}'
      f'   ({len(records)} records in {records_path})')
for text in open_findings:
    print(f'OPEN {text}')
for text in problems:
    print(f'RECORD {text}')
sys.exit(1 if open_findings or problems else 0)
PY
