#!/usr/bin/env bash
# Random input for a bounded time against the sanitizer build in a private Xvfb: clicks, drags
# far outside the window, every key the program knows, resizes from 1 x 1 up. Prints the events
# sent, resident memory at start and end, and whatever the sanitizers report. For long runs by
# hand; `make test-sanitize` runs a short one (tests/app/test_input_soak.cpp). Leaks of the X
# libraries and the renderer are suppressed (scripts/lsan.supp says which and why); every module
# stays loaded to the end (test_support/keep_modules), so that the report can name it.
# Usage: scripts/soak-input.sh [seconds (default 180)] [path/to/velmar_stable_fluids]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-180}
program=${2:-$root/build-sanitize/app/velmar_stable_fluids}
source "$root/scripts/private_xvfb.sh"

keep_modules=$(dirname "$program")/../test_support/keep_modules/libkeep_modules.so
[ -f "$keep_modules" ] || { echo "no $keep_modules: build the sanitizer tree first" >&2; exit 1; }
# The preloaded module comes before the sanitizer's runtime, which it does not mind.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}:verify_asan_link_order=0
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
LD_PRELOAD=$keep_modules "$program" >/dev/null 2>"$work/stderr" &
program_pid=$!
pids+=("$program_pid")
find_window() { window=$(xdotool search --onlyvisible --name '^Velmar Stable Fluids$' | head -n 1); }
retry find_window
xdotool windowmove "$window" 0 0
xdotool windowfocus "$window" 2>/dev/null || true
rss() { awk '/VmRSS/ {print $2}' "/proc/$program_pid/status" 2>/dev/null || echo gone; }
start_rss=$(rss)

keys=(s space g v d o b B r c 1 2 3 x q)   # every key but Escape, and some it ignores
events=0
end=$((SECONDS + seconds))
while ((SECONDS < end)) && kill -0 "$program_pid" 2>/dev/null; do
  batch=()
  for _ in $(seq 20); do
    case $((RANDOM % 10)) in
      # "--": a negative position would otherwise be read as an option, and xdotool would drop
      # the rest of the batch.
      0 | 1 | 2) batch+=(mousemove -- $((RANDOM % 1400 - 200)) $((RANDOM % 1000 - 200))) ;;
      3 | 4) batch+=(click $((RANDOM % 3 + 1))) ;;
      5) batch+=(mousedown 1 mousemove -- $((RANDOM % 2000 - 500)) $((RANDOM % 2000 - 500)) mouseup 1) ;;
      6 | 7) batch+=(key --window "$window" "${keys[RANDOM % ${#keys[@]}]}") ;;
      8) batch+=(windowsize "$window" $((RANDOM % 1200 + 1)) $((RANDOM % 1200 + 1))) ;;
      9) batch+=(sleep 0.05) ;;
    esac
    events=$((events + 1))
  done
  xdotool "${batch[@]}" 2>/dev/null || true
done
xdotool windowsize "$window" 512 512 2>/dev/null || true
end_rss=$(rss)
alive=yes
kill -0 "$program_pid" 2>/dev/null || alive=no
# Escape ends the program through exit, so LeakSanitizer runs.
xdotool key --window "$window" Escape 2>/dev/null || true
# LeakSanitizer's report can take a while under load, but not forever.
for _ in $(seq 600); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "the program did not end within 60 s of Escape; killed" >&2
  kill -9 "$program_pid" 2>/dev/null || true
fi
status=0
wait "$program_pid" || status=$?
pids=("${pids[@]:0:1}")

echo "events sent:        $events in ${seconds} s"
echo "resident at start:  $start_rss KiB"
echo "resident at end:    $end_rss KiB"
echo "alive to the end:   $alive; exit status $status"
findings=$(grep -cE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/stderr" || true)
echo "sanitizer findings: $findings"
# Whole reports, from the first finding to the end of standard error.
sed -n -E '/ERROR: (Address|Leak)Sanitizer|runtime error:/,$p' "$work/stderr"
