#!/usr/bin/env bash
# Retakes docs/window.png, the picture of the whole window in the README: the
# editor with examples/sample.hlp open, on a virtual X server of its own.
# Run it with `make screenshot` after any change to what the window shows.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
out="${1:-docs/window.png}"
work=$(mktemp -d)
pids=()
cleanup() {
  # The editor first, then its X server.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; wait "${pids[i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
# A state folder of its own: no notice about earlier unsaved text in the picture.
XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=xcb "$build/helpedit" examples/sample.hlp &
pids+=($!)
wid=$(xdotool search --sync --onlyvisible --name '^help file editor V6$' | head -1)
# The pointer off the window, so that no tooltip or hover shows.
xdotool mousemove 1270 1010
sleep 1
# The end-to-end test's grab mode saves one X window as a PNG.
QT_QPA_PLATFORM=xcb "$build/tests/test_e2e" --grab "$wid" "$out"
echo "wrote $out"
