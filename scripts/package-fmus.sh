#!/usr/bin/env bash
# Makes the seatbelt reminder FMUs for Linux and Windows in one archive each:
#   OUT_DIR/fmi3/SeatbeltReminder.fmu  binaries/x86_64-linux/SeatbeltReminder.so
#                                      binaries/x86_64-windows/SeatbeltReminder.dll
#   OUT_DIR/fmi2/SeatbeltReminder.fmu  binaries/linux64/SeatbeltReminder.so
#                                      binaries/win64/SeatbeltReminder.dll
# with the model description and documentation of the default build's FMUs. The Linux binaries
# come from a release build in build/fmu-linux, the Windows ones from the MinGW-w64 cross build
# (preset windows, build/windows). A DLL is packed only if it imports nothing but system DLLs
# and exports exactly the FMI functions that the Linux binary exports. Run as root, it first
# installs what it needs with apt-get.
# Usage: scripts/package-fmus.sh OUT_DIR
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/package-fmus.sh OUT_DIR" >&2
  exit 2
fi
out=$(realpath -m "$1")
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 >/dev/null
fi

linux=build/fmu-linux
windows=build/windows
identifier=SeatbeltReminder

cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DVC_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$linux" -j 2 --target ${identifier}_fmi3_fmu ${identifier}_fmi2_fmu
cmake --preset windows >/dev/null
cmake --build --preset windows --target ${identifier}_fmi3 ${identifier}_fmi2

# check_dll DLL SHARED_OBJECT: the DLL's import table names system DLLs only (the kernel and the
# C runtime that every Windows has), and its export table is the shared object's exports.
check_dll() {
  local dll=$1 shared_object=$2 tables imports exports expected
  tables=$(x86_64-w64-mingw32-objdump -p "$dll")
  imports=$(sed -n 's/^\tDLL Name: //p' <<<"$tables")
  if [ -z "$imports" ] || grep -v -i -x -E 'kernel32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-crt-[a-z0-9-]+\.dll' <<<"$imports"; then
    echo "$dll: imports other than system DLLs (above), or none at all" >&2
    return 1
  fi
  exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' <<<"$tables" | sort)
  expected=$(nm -D --defined-only "$shared_object" | awk '{ print $3 }' | sort)
  if [ -z "$exports" ] || [ "$exports" != "$expected" ]; then
    echo "$dll: exports differ from $shared_object's:" >&2
    diff <(echo "$expected") <(echo "$exports") >&2 || true
    return 1
  fi
  echo "$dll: imports $(paste -s -d " " <<<"$imports"); exports the $(wc -l <<<"$exports") functions of the Linux binary"
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for version in 3 2; do
  if [ "$version" = 3 ]; then
    linux_platform=x86_64-linux windows_platform=x86_64-windows
  else
    linux_platform=linux64 windows_platform=win64
  fi
  from_linux=$linux/fmu/fmi$version/$identifier
  from_windows=$windows/fmu/fmi$version/$identifier
  so=binaries/$linux_platform/$identifier.so
  dll=binaries/$windows_platform/$identifier.dll
  # Both builds made the description from the same sources, so the token is the same: a binary
  # of either platform accepts the archive's description.
  cmp "$from_linux/modelDescription.xml" "$from_windows/modelDescription.xml"
  diff -r "$from_linux/documentation" "$from_windows/documentation"
  check_dll "$from_windows/$dll" "$from_linux/$so"

  fmu=$stage/fmi$version
  mkdir -p "$fmu/binaries/$linux_platform" "$fmu/binaries/$windows_platform"
  cp -r "$from_linux/modelDescription.xml" "$from_linux/documentation" "$fmu/"
  cp "$from_linux/$so" "$fmu/$so"
  cp "$from_windows/$dll" "$fmu/$dll"
  mkdir -p "$out/fmi$version"
  rm -f "$out/fmi$version/$identifier.fmu"
  (cd "$fmu" && cmake -E tar cf "$out/fmi$version/$identifier.fmu" --format=zip \
    modelDescription.xml binaries documentation)
  echo "packed $out/fmi$version/$identifier.fmu"
done
