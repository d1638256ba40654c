# Shell functions for driving the program on an X display (sourced by scripts and tests).

# Prints the ids of the program's main windows shown now, one a line (the splash window carries
# the same title; the main window is the wide one).
main_windows() {
    local candidate width
    for candidate in $(xdotool search --onlyvisible --name '^Kalvora$' 2>/dev/null || true); do
        width=$(xdotool getwindowgeometry --shell "$candidate" 2>/dev/null | sed -n 's/^WIDTH=//p')
        if [ "${width:-0}" -ge 500 ]; then echo "$candidate"; fi
    done
}

# Prints the id of the program's main window once it is shown; fails after about ten seconds.
wait_for_main_window() {
    local window=""
    for _ in $(seq 1 100); do
        window=$(main_windows | tail -n 1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] && echo "$window"
}

# Presses Ctrl+Q in window; fails unless the process pid has ended within about ten seconds.
close_with_ctrl_q() { # window pid
    xdotool windowfocus --sync "$1"
    xdotool key ctrl+q
    for _ in $(seq 1 100); do
        kill -0 "$2" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Copies the program and a dics folder into a fresh program folder of their own, which the
# caller removes, and prints its path.
make_program_folder() {
    local folder
    folder=$(mktemp -d)
    cp "$1" "$folder/kalvora"
    cp -r "$2" "$folder/dics"
    echo "$folder"
}

# The start shared by the tests that run the program in an X session of their own. Called with
# the script's arguments: run again as "SCRIPT --session FOLDER" inside that session, it calls the
# script's run_session FOLDER and ends the script; called as "SCRIPT PROGRAM SAMPLE_DICS", it
# copies both into a fresh program folder, removed when the script ends, and leaves its path in
# $folder.
start_session_test() {
    if [ "${1:-}" = "--session" ]; then
        run_session "$2"
        exit
    fi
    folder=$(make_program_folder "$1" "$2")
    trap 'rm -rf "$folder"' EXIT
}
