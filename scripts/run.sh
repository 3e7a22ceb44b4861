#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a display it
# starts the program under Xvfb, saves a screenshot of its window and exits.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
install_missing_packages
configure_and_build

APP="$BUILD_DIR/app/tunewright"
if [ -n "${DISPLAY:-}" ]; then
    exec "$APP"
fi

SHOT="$BUILD_DIR/tunewright-window.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$1" & pid=$!
    for _ in $(seq 50); do
        win=$(xdotool search --name "^VT9R Tunewright v1.0$" 2>/dev/null | head -n1) && [ -n "$win" ] && break
        sleep 0.1
    done
    sleep 0.5
    import -window "$win" "$2"
    kill "$pid"; wait "$pid" 2>/dev/null || true
' _ "$APP" "$SHOT"
echo "No display: ran the program under Xvfb; screenshot of its window: $SHOT"
