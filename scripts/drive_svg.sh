#!/usr/bin/env bash
# The README's picture of the built-in drive, host/seatbelt_sim/scenarios/drive.svg, as
# `seatbelt_sim --svg` draws it. Draws it anew; with --check, fails instead when the committed
# picture differs from what the program draws now (CI runs that). The picture holds no date, so
# the same program draws the same bytes.
# Usage: scripts/drive_svg.sh [--check] [BUILD_DIR]   (default: build, as the README builds it)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
check=false
if [ "${1:-}" = --check ]; then
  check=true
  shift
fi
program=${1:-build}/bin/seatbelt_sim
picture=host/seatbelt_sim/scenarios/drive.svg
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$program" --svg "$scratch/drive.svg" >/dev/null
if ! $check; then
  cp "$scratch/drive.svg" "$picture"
  echo "drew $picture"
elif cmp -s "$scratch/drive.svg" "$picture"; then
  echo "$picture is up to date"
else
  echo "$picture is stale: run scripts/drive_svg.sh and commit the picture" >&2
  diff "$picture" "$scratch/drive.svg" | head -n 20 >&2 || true
  exit 1
fi
