#!/usr/bin/env bash
# Times a campaign of 1000 copies of the built-in drive two ways, two at a time each:
#   seatbelt_test --jobs 2 DIR
#   find DIR -name '*.txt' | xargs -P2 -n1 seatbelt_sim
# and prints the wall and processor times of both and their ratios. seatbelt_test runs the
# scenarios in a worker process per job instead of starting a program per scenario, which is
# what the ratios measure. On a machine
# that others share, the wall times vary with their load; the processor times much less.
#
#   scripts/bench_campaign.sh BUILD_DIR [COPIES]
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [COPIES]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
copies=${2:-1000}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
drive=$root/host/seatbelt_sim/scenarios/drive.txt
for program in seatbelt_test seatbelt_sim; do
  [ -x "$build/bin/$program" ] || { echo "$0: $build/bin/$program is missing" >&2; exit 2; }
done

work=$(mktemp -d /tmp/bench_campaign.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/scenarios"
# The drive with expectations on its warning intervals, should it carry none of its own.
cp "$drive" "$work/drive.txt"
if ! grep -q '^[[:space:]]*expect[[:space:]]' "$drive"; then
  cat >>"$work/drive.txt" <<'EXPECT'
expect warning_request == active during 9000..13030
expect warning_request == none during 13040..18080
expect warning_request == active during 18090..20030
expect warning_request == none during 20040..30000
expect latch_filtered == latched within 13000..13100
EXPECT
fi
for i in $(seq -w 1 "$copies"); do
  cp "$work/drive.txt" "$work/scenarios/drive_$i.txt"
done

# Wall and processor time (user + system, of every process of the run) of a command.
measure() {
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null
  read -r wall user system <"$work/time"
  echo "$wall $(echo "$user + $system" | bc)"
}

read -r campaign_wall campaign_cpu < <(cd "$work" && measure "$build/bin/seatbelt_test" --jobs 2 scenarios)
read -r xargs_wall xargs_cpu < <(measure sh -c \
  "find '$work/scenarios' -name '*.txt' | xargs -P2 -n1 '$build/bin/seatbelt_sim'")

printf 'scenarios:               %d copies of the drive\n' "$copies"
printf '                         wall time   processor time\n'
printf 'seatbelt_test --jobs 2:  %7.3f s   %7.3f s\n' "$campaign_wall" "$campaign_cpu"
printf 'xargs -P2 seatbelt_sim:  %7.3f s   %7.3f s\n' "$xargs_wall" "$xargs_cpu"
printf 'ratio:                   %7.1f     %7.1f\n' "$(echo "$xargs_wall / $campaign_wall" | bc -l)" \
  "$(echo "$xargs_cpu / $campaign_cpu" | bc -l)"
