#!/usr/bin/env bash
# Prints the program's resident memory every 10 s while the grid and velocity views are on,
# in a private Xvfb. Run by hand; not part of `make test`.
# Usage: scripts/soak-memory.sh [seconds (default 300)] [path/to/velmar_stable_fluids]
# The target is resident memory flat within 10 % after the first minute. Under Mesa llvmpipe it
# is not: the renderer's own memory grows (scripts/gl_growth.cpp shows it without this program).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
program=${2:-$root/build/app/velmar_stable_fluids}
source "$root/scripts/private_xvfb.sh"

"$program" >/dev/null &
program_pid=$!
pids+=("$program_pid")
find_window() { window=$(xdotool search --onlyvisible --name '^Velmar Stable Fluids$' | head -n 1); }
retry find_window
xdotool windowmove "$window" 0 0
xdotool key --window "$window" g v 2>/dev/null

rss() { awk '/VmRSS/ {print $2}' "/proc/$program_pid/status"; }
echo "seconds  resident_KiB"
first_minute=
for ((t = 0; t <= seconds; t += 10)); do
  now=$(rss)
  echo "$t  $now"
  [ "$t" -eq 60 ] && first_minute=$now
  [ "$t" -lt "$seconds" ] && sleep 10
done
last=$(rss)
if [ -n "$first_minute" ]; then
  awk -v a="$first_minute" -v b="$last" \
    'BEGIN { printf "growth after the first minute: %.1f %% (target: within 10 %%)\n", 100 * (b - a) / a }'
fi
