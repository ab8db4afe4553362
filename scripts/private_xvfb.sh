# Sourced by the scripts that drive the program in a virtual X server: a scratch folder $work,
# the children in $pids killed when the script exits, `retry`, and a private Xvfb whose display
# is exported as DISPLAY.
work=$(mktemp -d)
pids=()

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Up to 10 s, in steps of 0.1 s, for a command to succeed.
retry() {
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  echo "timed out: $*" >&2
  return 1
}

# Xvfb picks a free display itself and writes its number once it accepts connections.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log" &
pids+=($!)
exec 3>&-
retry grep -q . "$work/display"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
