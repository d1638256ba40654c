#!/usr/bin/env bash
# Starts the real program on a virtual X display with a private session bus and the desktop's
# accessibility bus, and reads its accessible tree as a screen reader would.
# Usage: Accessibility_test.sh PROGRAM SAMPLE_DICS
set -euo pipefail
source "$(dirname "$0")/../tools/x11-session.sh"
here=$(cd "$(dirname "$0")" && pwd)

run_session() {
    local folder=$1
    # The accessibility bus is started on demand through the session bus; asking for its address
    # starts it and tells whether it works at all.
    if ! dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >"$folder/bus.log" 2>&1; then
        cat "$folder/bus.log"
        echo "FAIL: the accessibility bus (org.a11y.Bus) did not start"
        return 1
    fi
    QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        "$folder/kalvora" >"$folder/program.log" 2>&1 &
    local pid=$!
    local status=0
    # Debian's own Python: the reader's bindings are packaged for it.
    /usr/bin/python3 "$here/Accessibility_test.py" || status=$?
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ "$status" -eq 0 ] || cat "$folder/program.log"
    return "$status"
}

start_session_test "$@"
export HOME=$folder/home
mkdir -p "$HOME"
"$here/../tools/virtual-display" dbus-run-session -- "$0" --session "$folder"
