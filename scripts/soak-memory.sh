#!/usr/bin/env bash
# Prints the program's resident memory every 10 s with the grid and velocity views on, for both
# drawings side by side (--draw=cells and --draw=layers, each in its own window of one private
# Xvfb), and how much each grew per minute after the first. Run by hand; not part of the suites.
# Usage: scripts/soak-memory.sh [seconds (default 300)] [path/to/velmar_stable_fluids]
# Under Mesa llvmpipe the cell-by-cell drawing grows (the renderer's own memory, see the README);
# the layered one stays flat.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
program=${2:-$root/build/app/velmar_stable_fluids}
source "$root/scripts/private_xvfb.sh"

windows() { xdotool search --onlyvisible --name '^Velmar Stable Fluids$' 2>/dev/null || true; }

# Starts one drawing, waits for its window (the one that was not there before), puts it at
# x = $2 and switches the grid and velocity views on. Sets $started to the program's pid.
start_drawing() {
  local drawing=$1 left=$2 before window
  before=$(windows)
  "$program" --draw="$drawing" >/dev/null 2>"$work/$drawing.err" &
  started=$!
  pids+=("$started")
  new_window() {
    window=$(windows | grep -vxF -e "${before:-none}" | head -n 1)
    [ -n "$window" ]
  }
  retry new_window
  xdotool windowmove "$window" "$left" 0
  xdotool key --window "$window" g v 2>/dev/null
}
start_drawing cells 0
cells_pid=$started
start_drawing layers 512
layers_pid=$started

rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo gone; }
echo "seconds  cells_KiB  layers_KiB"
declare -A first_minute last
for ((t = 0; t <= seconds; t += 10)); do
  last[cells]=$(rss "$cells_pid")
  last[layers]=$(rss "$layers_pid")
  echo "$t  ${last[cells]}  ${last[layers]}"
  if [ "$t" -eq 60 ]; then
    first_minute[cells]=${last[cells]}
    first_minute[layers]=${last[layers]}
  fi
  [ "$t" -lt "$seconds" ] && sleep 10
done
if [ "$seconds" -gt 60 ]; then
  for drawing in cells layers; do
    awk -v name="$drawing" -v a="${first_minute[$drawing]}" -v b="${last[$drawing]}" \
      -v minutes="$(((seconds - 60) / 60)).$((((seconds - 60) % 60) * 10 / 60))" 'BEGIN {
        if (a !~ /^[0-9]+$/ || b !~ /^[0-9]+$/) { printf "%s: the program ended early\n", name; exit }
        printf "%s: %.1f MiB after the first minute, %.1f MiB at the end: %+.1f MiB a minute\n",
               name, a / 1024, b / 1024, (b - a) / 1024 / minutes }'
  done
fi
for drawing in cells layers; do
  [ -s "$work/$drawing.err" ] && { echo "$drawing, standard error:"; cat "$work/$drawing.err"; }
done
exit 0
