#!/usr/bin/env bash
# Renders the built-in drive's `seatbelt_sim --svg` picture in headless Chromium and checks the
# screenshot: a picture of the right size, not blank, with the amber of the warning's conditions
# and the red of the requested warning drawn in the lanes (an SVG that a browser refuses shows an
# error page instead). Chromium runs without sandbox (CI runs as root), with a fresh profile and
# without any network use of its own.
# Usage: scripts/svg_render_check.sh [BUILD_DIR]   (default: build, as the README builds it)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
program=${1:-build}/bin/seatbelt_sim
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$program" --svg "$scratch/drive.svg" >/dev/null
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$scratch/profile" --window-size=1600,900 \
  --screenshot="$scratch/drive.png" "file://$scratch/drive.svg" >"$scratch/chromium.log" 2>&1 ||
  { cat "$scratch/chromium.log" >&2; exit 1; }

python3 - "$scratch/drive.png" <<'PY'
import struct, sys, zlib

data = open(sys.argv[1], 'rb').read()
if data[:8] != b'\x89PNG\r\n\x1a\n':
    sys.exit('not a PNG')
chunks, at = {}, 8
while at < len(data):
    length, kind = struct.unpack('>I4s', data[at:at + 8])
    chunks.setdefault(kind, []).append(data[at + 8:at + 8 + length])
    at += 12 + length
width, height, depth, colour = struct.unpack('>IIBB', chunks[b'IHDR'][0][:10])
if depth != 8 or colour not in (2, 6):
    sys.exit(f'unexpected PNG format: depth {depth}, colour type {colour}')
pixel = 3 if colour == 2 else 4
stride = width * pixel
raw = zlib.decompress(b''.join(chunks[b'IDAT']))

# Undo the row filters (None, Sub, Up, Average, Paeth).
rows, previous = [], bytearray(stride)
for y in range(height):
    kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    if kind == 1:
        for i in range(pixel, stride):
            row[i] = (row[i] + row[i - pixel]) & 0xFF
    elif kind == 2:
        row = bytearray((a + b) & 0xFF for a, b in zip(row, previous))
    elif kind == 3:
        for i in range(stride):
            left = row[i - pixel] if i >= pixel else 0
            row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
    elif kind == 4:
        for i in range(stride):
            a = row[i - pixel] if i >= pixel else 0
            b, c = previous[i], previous[i - pixel] if i >= pixel else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
    rows.append(row)
    previous = row

counts = {}
for row in rows:
    for x in range(0, stride, pixel):
        rgb = bytes(row[x:x + 3])
        counts[rgb] = counts.get(rgb, 0) + 1
total = width * height
white = counts.get(b'\xff\xff\xff', 0)
amber = counts.get(bytes((0xf5, 0xb0, 0x41)), 0)
red = counts.get(bytes((0xd6, 0x27, 0x28)), 0)
print(f'{width}x{height} screenshot: {100 * (total - white) / total:.1f} % not white, '
      f'{len(counts)} colours, {amber} amber and {red} red pixels')
problems = []
if (width, height) != (1600, 900):
    problems.append('not the window size')
if total - white < total // 10:
    problems.append('blank or nearly so')
if amber < 20000 or red < 5000:
    problems.append('the lanes are not drawn')
if problems:
    sys.exit('rendering check failed: ' + ', '.join(problems))
print('rendering check passed')
PY
