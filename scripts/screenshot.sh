#!/usr/bin/env bash
# Makes docs/screenshot.png: runs the program in a private Xvfb, drops a few bursts of density,
# paints a few obstacle cells, drags through the fluid, feeds the bottom source, lets the fluid
# move for a while and captures the window. With a drawing named (cells, layers, smooth), the
# picture is docs/screenshot-DRAWING.png.
# Usage: scripts/screenshot.sh [path/to/velmar_stable_fluids [drawing]]   (default: build/app/...)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/app/velmar_stable_fluids}
drawing=${2:-}
output=$root/docs/screenshot${drawing:+-$drawing}.png
source "$root/scripts/private_xvfb.sh"

"$program" ${drawing:+--draw=$drawing} >/dev/null &
pids+=($!)
find_window() {
  window=$(xdotool search --onlyvisible --name '^Velmar Stable Fluids$' | head -n 1) &&
    [[ -n $window ]]
}
retry find_window

# Without a window manager the window starts at (-1, -1) and key events need the focus.
xdotool windowmove "$window" 0 0
xdotool windowfocus "$window"
for point in 150,160 370,130 256,300 110,400 410,390; do
  xdotool mousemove "${point%,*}" "${point#*,}" click 3
  sleep 0.4
done
# A short obstacle wall above the bottom source, then a drag through the middle burst.
xdotool key B mousemove 200 440 mousedown 1
for x in $(seq 204 4 320); do xdotool mousemove "$x" 440; done
xdotool mouseup 1 key B
xdotool mousemove 190 300 mousedown 1
for x in $(seq 200 10 330); do xdotool mousemove "$x" 300; done
xdotool mouseup 1
xdotool key f
sleep 4

mkdir -p "$(dirname "$output")"
xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$output"
echo "wrote $output"
