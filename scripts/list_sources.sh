#!/usr/bin/env bash
# Lists the project's source files whose names match the given patterns ('*.cpp' '*.h' ...),
# one per line, sorted, relative to the project root: in a checkout the files git tracks or would
# track (new files that .gitignore does not name) that exist, and in a tree without git metadata (unpacked from `git archive` or a release archive) every matching
# file outside the build and output folders that .gitignore names.
#
#   scripts/list_sources.sh PATTERN...
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
[ $# -gt 0 ] || { echo "usage: $0 PATTERN..." >&2; exit 2; }

if git rev-parse --is-inside-work-tree >/dev/null 2>&1 &&
  [ "$(git rev-parse --show-toplevel)" = "$PWD" ]; then
  git ls-files --cached --others --exclude-standard -- "$@" | LC_ALL=C sort -u |
    while IFS= read -r file; do
      [ ! -f "$file" ] || printf '%s\n' "$file"
    done
  exit 0
fi

names=()
for pattern in "$@"; do
  [ ${#names[@]} -eq 0 ] || names+=(-o)
  names+=(-name "$pattern")
done
find . \( -path ./build -o -path './build-*' -o -path ./out -o -path ./.cache -o -path ./.git \) \
  -prune -o -type f \( "${names[@]}" \) -print | sed 's|^\./||' | LC_ALL=C sort
