#!/usr/bin/env bash
# Packs the multi-platform FMUs (scripts/package-fmus.sh) and tests their Windows binaries under
# Wine: fmu_windows_test, built with the same cross compiler, loads each DLL from its unpacked
# FMU and drives it with every example scenario of seatbelt_sim, comparing the outputs of every
# tick with seatbelt_sim's CSV made here on Linux. Wine runs console programs without a display.
# Run as root, it first installs what it needs with apt-get.
# Usage: scripts/test-fmus-wine.sh [OUT_DIR]   (default: build/fmus, where the FMUs are packed)
set -euo pipefail
out=$(realpath -m "${1:-build/fmus}")
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends wine64 >/dev/null
fi

scripts/package-fmus.sh "$out"
# The builds package-fmus.sh made: the reference on Linux, the test program for Windows.
cmake --build build/fmu-linux -j 2 --target seatbelt_sim
cmake --build --preset windows --target fmu_windows_test

work=build/fmu-wine-test
rm -rf "$work"
mkdir -p "$work/reference"
for version in 3 2; do
  mkdir -p "$work/fmi$version"
  (cd "$work/fmi$version" && cmake -E tar xf "$out/fmi$version/SeatbeltReminder.fmu")
done
scenarios=(host/seatbelt_sim/scenarios/*.txt)
for scenario in "${scenarios[@]}"; do
  name=$(basename "$scenario" .txt)
  build/fmu-linux/bin/seatbelt_sim --csv "$work/reference/$name.csv" "$scenario" \
    >"$work/reference/$name.out"
done

# A Wine prefix of the build's own, made on the first run; no Mono or Gecko installed into it.
# Making it, Wine notes that it has no 32-bit part; shown only if it fails.
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot --init >"$work/wineboot.log" 2>&1 || {
    cat "$work/wineboot.log" >&2
    exit 1
  }
fi
status=0
/usr/lib/wine/wine64 build/windows/bin/fmu_windows_test.exe "$work/fmi3" "$work/fmi2" \
  "$work/reference" "${scenarios[@]}" || status=$?
/usr/lib/wine/wineserver -w  # Wine's server ends with the last program
exit "$status"
