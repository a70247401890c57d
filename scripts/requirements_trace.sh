#!/usr/bin/env bash
# The traceability table of the seatbelt reminder requirements, requirements/TRACE.md, as
# `seatbelt_test --trace` writes it from the catalogue and the requirement scenarios. Writes it
# anew; with --check, fails instead when the committed table differs from what the campaign
# gives now (CI runs that). The table holds no times, so the same campaign gives the same bytes.
# Also fails when the campaign itself fails (a requirement failed or is not covered); the table
# is written (or compared) all the same.
# Usage: scripts/requirements_trace.sh [--check] [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
check=false
if [ "${1:-}" = --check ]; then
  check=true
  shift
fi
program=${1:-build}/bin/seatbelt_test
table=requirements/TRACE.md
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
"$program" --output-dir "$scratch/output" --requirements requirements/seatbelt_reminder.md \
  --trace "$scratch/TRACE.md" requirements/scenarios >"$scratch/report.txt" || status=$?
if [ "$status" -ge 2 ] || [ ! -f "$scratch/TRACE.md" ]; then
  cat "$scratch/report.txt"
  echo "$0: seatbelt_test could not run the requirement campaign (status $status)" >&2
  exit 2
fi
if [ "$status" -ne 0 ]; then
  grep '^FAIL' "$scratch/report.txt" >&2 || true
  echo "$0: the requirement campaign failed: $(tail -n 1 "$scratch/report.txt")" >&2
fi

if ! $check; then
  cp "$scratch/TRACE.md" "$table"
  echo "wrote $table ($(tail -n 1 "$scratch/report.txt"))"
elif cmp -s "$scratch/TRACE.md" "$table"; then
  echo "$table is up to date"
else
  echo "$table is stale: run scripts/requirements_trace.sh and commit the table" >&2
  diff "$table" "$scratch/TRACE.md" | head -n 20 >&2 || true
  exit 1
fi
exit "$status"
