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

# A display of our own: a number nobody serves or has locked, taken with X's lock file, which
# other servers and xvfb-run honour, and checked to hold our server's pid. (A server started with
# -displayfd writes no lock file, so another one may take its number later.) -noreset: the
# server must not reset, refusing connections meanwhile, each time its last client leaves.
start_private_xvfb() {
  local display pid
  for _ in $(seq 20); do
    display=$((200 + RANDOM % 800))
    [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ] && continue
    Xvfb ":$display" -noreset -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log" &
    pid=$!
    # Ready once it answers; gone at once when another server holds the number.
    for _ in $(seq 100); do
      DISPLAY=":$display" xdotool getdisplaygeometry >/dev/null 2>&1 || ! kill -0 "$pid" 2>/dev/null && break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && [ "$(tr -d ' \n' <"/tmp/.X$display-lock" 2>/dev/null)" = "$pid" ]; then
      pids+=("$pid")
      DISPLAY=":$display"
      export DISPLAY
      return 0
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  echo "no free X display for a private Xvfb" >&2
  return 1
}
start_private_xvfb
