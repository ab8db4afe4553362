#!/usr/bin/env bash
# Makes packaging/velmar-stable-fluids.png, the program's icon, from one of its own pictures:
# four bursts of density above an obstacle wall, drawn headless, cropped to the middle of the
# window and scaled to 128 x 128 with netpbm.
# Usage: scripts/make-icon.sh [path/to/velmar_stable_fluids]   (default: build/app/...)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/app/velmar_stable_fluids}
output=$root/packaging/velmar-stable-fluids.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo "velmar-recording 1"
  echo "0 key 66 0 0"
  # The wall, two cells high: the pointer moves a cell at a time, so that it paints every
  # cell it crosses.
  for y in 392 396; do
    echo "1 mouse 0 0 150 $y"
    for x in $(seq 154 4 362); do echo "1 motion $x $y"; done
    echo "1 mouse 0 1 362 $y"
  done
  echo "1 key 66 0 0"
  frame=2
  for burst in "256 300" "160 200" "352 200" "256 150"; do
    echo "$frame mouse 2 0 $burst"
    echo "$frame mouse 2 1 $burst"
    frame=$((frame + 1))
  done
} >"$work/icon.rec"
"$program" --headless --replay "$work/icon.rec" --frames 40 --every 40 --png "$work/pictures"
pngtopnm "$work/pictures/frame-000001.png" | pamcut -left 96 -top 80 -width 320 -height 352 |
  pamscale -xyfit 128 128 | pnmpad -black -width 128 -height 128 |
  pnmtopng -compression 9 >"$output"
echo "wrote $output"
