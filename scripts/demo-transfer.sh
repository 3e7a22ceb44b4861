#!/usr/bin/env bash
# Drives tunewright-demo like a user: opens a song file through the file
# dialog, chooses "SONG 02", presses "Update", waits for the transfer to finish
# and saves a screenshot of the window. Prints the emulator's lines.
# Usage: demo-transfer.sh SONG.mid [SCREENSHOT.png]   (runs under Xvfb without a display)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SONG="$(realpath "$1")"
SHOT="$(realpath -m "${2:-$ROOT/build/demo-transfer.png}")"
DEMO="${DEMO:-$ROOT/build/app/tunewright-demo}"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }
wait_window() {
    for _ in $(seq 100); do
        xdotool search --name "$1" 2>/dev/null | head -n1 && return 0
        sleep 0.1
    done
    echo "no window '$1'" >&2; return 1
}

cd "$(dirname "$SONG")"   # the file dialog starts in the working directory
log=$(mktemp)
"$DEMO" > "$log" 2>&1 & pid=$!
trap 'kill $pid 2>/dev/null || true; rm -f "$log"' EXIT

win=$(wait_window "^VT9R Tunewright v1.0$"); sleep 0.5
geometry "$win"; px=$((X + 1)); py=$((Y + 25))      # the panel inside the border and title bar

xdotool mousemove $((px + 148)) $((py + 208)) click 1    # "Open SMF"
dlg=$(wait_window "^Open Source file...$"); sleep 0.5
geometry "$dlg"
# The dialog lists the working directory; type the name into its file box.
xdotool mousemove $((X + 300)) $((Y + 437)) click 1
xdotool type --delay 20 "$(basename "$SONG")"; xdotool key Return
sleep 1

xdotool mousemove $((px + 88)) $((py + 268)) click 1     # the destination list
sleep 0.5
xdotool mousemove $((px + 82)) $((py + 315)) click 1     # "SONG 02"
sleep 0.3
xdotool mousemove $((px + 212)) $((py + 268)) click 1    # "Update"

for _ in $(seq 300); do
    grep -q "song stored" "$log" && break
    sleep 0.1
done
sleep 0.5
import -window "$win" "$SHOT"
cat "$log"
echo "screenshot: $SHOT"
