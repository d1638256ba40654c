# Shell functions for driving the program on an X display (sourced by scripts and tests).

# Prints the id of the program's main window once it is shown (the splash window carries the
# same title; the main window is the wide one); fails after about ten seconds.
wait_for_main_window() {
    local window=""
    for _ in $(seq 1 100); do
        for candidate in $(xdotool search --onlyvisible --name '^Kalvora$' 2>/dev/null || true); do
            local width
            width=$(xdotool getwindowgeometry --shell "$candidate" 2>/dev/null | sed -n 's/^WIDTH=//p')
            [ "${width:-0}" -ge 500 ] && window=$candidate
        done
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] && echo "$window"
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
