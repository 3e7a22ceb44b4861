#!/usr/bin/env bash
# Two copies run side by side, and each one's close button ends it with status 0.
set -u
app="$1"
fail() { echo "FAIL: $*"; kill "${pids[@]}" 2>/dev/null; exit 1; }

windows() { xdotool search --name "^VT9R Tunewright v1.0$" 2>/dev/null; }

pids=()
for i in 1 2; do
    "$app" --some --ignored arguments & pids+=($!)
    for _ in $(seq 100); do
        [ "$(windows | wc -l)" -ge "$i" ] && break
        sleep 0.1
    done
    [ "$(windows | wc -l)" -eq "$i" ] || fail "expected $i windows, saw $(windows | wc -l)"
done
sleep 0.5

for pid in "${pids[@]}"; do
    win=$(windows | head -n1)
    eval "$(xdotool getwindowgeometry --shell "$win")"
    # The close button is the rightmost one in the framework-drawn 24-pixel title bar.
    xdotool mousemove $((X + WIDTH - 12)) $((Y + 12)) click 1
    # Whichever copy owned that window must end; find it.
    ended=""
    for _ in $(seq 100); do
        for p in "${pids[@]}"; do
            if ! kill -0 "$p" 2>/dev/null; then ended="$p"; break 2; fi
        done
        sleep 0.1
    done
    [ -n "$ended" ] || fail "close button did not end the program"
    wait "$ended"; status=$?
    [ "$status" -eq 0 ] || fail "exit status $status"
    pids=("${pids[@]/$ended}")
    pids=($(printf '%s\n' "${pids[@]}" | grep -v '^$'))
done
echo "both copies closed cleanly"
