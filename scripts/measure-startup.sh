#!/usr/bin/env bash
# Prints how long the program takes from its start to its window on screen
# (mapped and visible), over several runs. Usage: measure-startup.sh [BINARY] [RUNS]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
APP="${1:-$ROOT/build/app/tunewright}"
RUNS="${2:-7}"

measure() {
    for _ in $(seq "$RUNS"); do
        start=$(date +%s%N)
        "$APP" & pid=$!
        until xdotool search --onlyvisible --name "^VT9R Tunewright v1.0$" >/dev/null 2>&1; do
            sleep 0.005
        done
        end=$(date +%s%N)
        echo $(( (end - start) / 1000000 ))
        kill "$pid"; wait "$pid" 2>/dev/null || true
    done | sort -n | awk '{a[NR]=$1} END {printf "start to window on screen: median %d ms, min %d ms, max %d ms over %d runs\n", a[int((NR+1)/2)], a[1], a[NR], NR}'
}
if [ -n "${DISPLAY:-}" ]; then
    measure
else
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$APP" "$RUNS"
fi
