#!/usr/bin/env bash
# Starts the real program on a real (virtual) X display, waits for its window, closes it with
# the keyboard as a user would, and checks what it left beside itself.
# Usage: Program_run_test.sh PROGRAM SAMPLE_DICS
set -euo pipefail
source "$(dirname "$0")/../tools/x11-session.sh"

run_session() {
    local folder=$1
    # No session bus, so that a Kalvora the user runs cannot take the start over.
    DBUS_SESSION_BUS_ADDRESS="unix:path=$folder/no-bus" "$folder/kalvora" &
    local pid=$!
    local window
    window=$(wait_for_main_window || true)
    if [ -z "$window" ]; then
        echo "FAIL: no Kalvora window appeared"
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    if ! close_with_ctrl_q "$window" "$pid"; then
        echo "FAIL: the program did not end after Ctrl+Q"
        kill "$pid"
        return 1
    fi
    wait "$pid"
}

# Inside the virtual display: the script calls itself.
start_session_test "$@"

"$(dirname "$0")/../tools/virtual-display" "$0" --session "$folder"

grep -q '\[TForm1::TForm1\] Log created' "$folder/file.log" || { echo "FAIL: no 'Log created' record"; exit 1; }
grep -q '\[Database::Load\] Dictionary loaded' "$folder/file.log" || { echo "FAIL: nothing loaded"; exit 1; }
[ -f "$folder/Kalvora.ini" ] || { echo "FAIL: Kalvora.ini was not written at close"; exit 1; }
if grep -qv $'\r$' "$folder/Kalvora.ini"; then echo "FAIL: a settings line without CR LF"; exit 1; fi
echo "the program started, showed its window and closed cleanly"
