#!/usr/bin/env bash
# Every header the package installs must compile on its own, as the first and only include of a
# file, as C99, C11, C++11, C++14, C++17 and C++20 with -Wall -Wextra -pedantic -Werror, under gcc
# and clang; a second include must change nothing (include guard), and no header may define
# `assert` for its includer. The headers are taken from an install of the build, so a header
# added to the install rules is checked without a change here. Prints the matrix; any failure
# fails.
# Usage: scripts/check_headers.sh [BUILD_DIR]: a finished build (default: build, the README's).
#   HEADER_CHECK_COMPILERS  "C:C++" pairs (default: "gcc:g++ clang-19:clang++-19")
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
read -r -a compilers <<<"${HEADER_CHECK_COMPILERS:-gcc:g++ clang-19:clang++-19}"
standards=(c99 c11 c++11 c++14 c++17 c++20)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
include=$work/prefix/include
mapfile -t headers < <(cd "$include" && find . -name '*.h' -printf '%P\n' | sort)
[ ${#headers[@]} -gt 0 ] || { echo "no headers installed from $build" >&2; exit 1; }
# Every folder that holds an installed header is on the path, as a consumer would set it up.
(cd "$include" && find . -name '*.h' -printf "-I$include/%h\n" | sort -u) >"$work/include_dirs"

# One job per header, standard and compiler: writes "<header> <standard> <compiler> ok|FAIL" and,
# on failure, the compiler's messages to a log.
jobs=()
for header in "${headers[@]}"; do
  for standard in "${standards[@]}"; do
    for pair in "${compilers[@]}"; do
      jobs+=("$header $standard $pair")
    done
  done
done

check_one() { # header standard C:C++
  local header=$1 standard=$2 cc=${3%%:*} cxx=${3##*:} compiler language
  if [[ $standard == c++* ]]; then compiler=$cxx language=c++; else compiler=$cc language=c; fi
  local name include_dirs
  mapfile -t include_dirs <"$work/include_dirs"
  name=$(printf '%s_%s_%s' "$header" "$standard" "$cc" | tr '/.+' '___')
  printf '#include "%s"\n#include "%s"\n#ifdef assert\n#error "%s defines assert"\n#endif\n' \
    "$(basename "$header")" "$(basename "$header")" "$header" >"$work/$name.$language"
  if "$compiler" -std="$standard" -Wall -Wextra -pedantic -Werror -fsyntax-only \
      "${include_dirs[@]}" -x "$language" "$work/$name.$language" >"$work/$name.log" 2>&1; then
    echo "$header $standard $cc ok"
  else
    echo "$header $standard $cc FAIL"
  fi
}
export -f check_one
export work
printf '%s\n' "${jobs[@]}" | xargs -P 2 -L 1 bash -c 'check_one "$@"' _ >"$work/results"

status=0
python3 - "$work/results" "${standards[*]}" <<'PY' || status=$?
import collections, sys
results, standards = sys.argv[1], sys.argv[2].split()
failed = collections.defaultdict(list)
headers = []
for line in open(results):
    header, standard, compiler, verdict = line.split()
    if header not in headers:
        headers.append(header)
    if verdict != 'ok':
        failed[(header, standard)].append(compiler)
width = max(len(h) for h in headers)
print(f'{"header":<{width}}  ' + ''.join(f'{s:>8}' for s in standards))
for header in sorted(headers):
    cells = ''.join(f'{"FAIL " + ",".join(failed[(header, s)]) if (header, s) in failed else "ok":>8}'
                    for s in standards)
    print(f'{header:<{width}}  {cells}')
print(f'{len(headers)} headers, {len(standards)} standards: '
      f'{sum(len(c) for c in failed.values())} failed compiles')
sys.exit(1 if failed else 0)
PY
if [ "$status" -ne 0 ]; then
  grep -l . "$work"/*.log | while read -r log; do
    echo "---- ${log##*/}"
    cat "$log"
  done
fi
exit "$status"
