#!/usr/bin/env bash
# kalvora --popup end to end, on a virtual X display with a session bus of its own: a first start
# opens the window and the popup; later starts hand the quick look to the running window and end
# at once; the popup lies near the pointer inside the screen, and closes on Escape and when
# another window takes the focus; a running program that does not answer makes the start end
# with status 1 after a few seconds.
# Usage: Popup_program_test.sh PROGRAM SAMPLE_DICS
set -euo pipefail
source "$(dirname "$0")/../tools/x11-session.sh"

fail() {
    echo "FAIL: $*"
    [ ! -f program.log ] || { echo "the program's output:"; cat program.log; }
    exit 1
}

# The popup's window id once it is shown with the headword (letter case aside) in its title; fails
# after about ten seconds.
wait_for_popup() { # headword
    local window name
    for _ in $(seq 1 100); do
        for window in $(xdotool search --onlyvisible --name '^Kalvora: ' 2>/dev/null || true); do
            name=$(xdotool getwindowname "$window" 2>/dev/null || true)
            [ "${name,,}" = "kalvora: $1" ] && echo "$window" && return 0
        done
        sleep 0.1
    done
    return 1
}

wait_for_popup_gone() {
    for _ in $(seq 1 100); do
        [ -z "$(xdotool search --onlyvisible --name '^Kalvora: ' 2>/dev/null || true)" ] && return 0
        sleep 0.1
    done
    return 1
}

popup_place() { # window
    xdotool getwindowgeometry --shell "$1" | sed -n 's/^[XY]=//p' | paste -sd, -
}

run_session() {
    cd "$1"
    export QT_QPA_PLATFORM=xcb
    printf '%s' 'дом' | xclip -selection primary >/dev/null 2>&1
    xdotool mousemove 100 100

    # No window runs: this start is the window, and shows the popup as well.
    ./kalvora --popup >program.log 2>&1 &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT
    local main popup
    main=$(wait_for_main_window || wait_for_main_window) || fail "--popup opened no window"
    popup=$(wait_for_popup дом || wait_for_popup дом) || fail "a first --popup showed no popup"
    xdotool windowfocus --sync "$popup"
    xdotool key Escape
    wait_for_popup_gone || fail "Escape did not close the popup"

    # The running window shows it: near the pointer, flipped inside the 1024x768 screen at its
    # edges (the popup is 380x240, 12 pixels from the pointer).
    local row pointer place status started ended
    for row in "100 100:112,112" "1000 100:608,112" "100 750:112,498" "1020 760:628,508"; do
        pointer=${row%%:*}
        place=${row#*:}
        # shellcheck disable=SC2086
        xdotool mousemove $pointer
        status=0
        started=$(date +%s%N)
        timeout 30 ./kalvora --popup || status=$?
        ended=$(date +%s%N)
        [ "$status" -eq 0 ] || fail "a later --popup ended with status $status"
        popup=$(wait_for_popup дом) || fail "the running window showed no popup"
        [ "$(popup_place "$popup")" = "$place" ] \
            || fail "with the pointer at $pointer the popup is at $(popup_place "$popup"), not $place"
        echo "pointer at $pointer: popup at $place; the start ended in $(((ended - started) / 1000000)) ms"
        xdotool windowfocus --sync "$main"
        wait_for_popup_gone || fail "the popup stayed when the main window took the focus"
    done
    [ "$(main_windows | wc -l)" -eq 1 ] || fail "a later --popup opened a window of its own"

    printf '%s' 'кот' | xclip -selection primary >/dev/null 2>&1
    ./kalvora --popup || fail "a later --popup ended with status $?"
    wait_for_popup кот >/dev/null || fail "the popup did not follow the selection"

    # A running program that does not answer (stopped here): the start gives up and says so.
    kill -STOP "$pid"
    status=0
    started=$(date +%s)
    timeout 60 ./kalvora --popup >later.log 2>&1 || status=$?
    ended=$(date +%s)
    kill -CONT "$pid"
    [ "$status" -eq 1 ] || fail "with the running program stopped --popup ended with status $status"
    grep -q 'did not answer' later.log || fail "the start did not say that no one answered"
    [ $((ended - started)) -le 8 ] || fail "the start waited $((ended - started)) s for a stopped program"
    echo "a start facing a stopped program gave up after $((ended - started)) s: $(cat later.log)"

    close_with_ctrl_q "$main" "$pid" || fail "the program did not end after Ctrl+Q"
}

if [ "${1:-}" = "--session" ]; then
    run_session "$2"
    echo "the popup reached the running window, lay inside the screen and closed"
    exit
fi

folder=$(make_program_folder "$1" "$2")
trap 'rm -rf "$folder"' EXIT
export HOME=$folder/home
mkdir -p "$HOME"
"$(dirname "$0")/../tools/virtual-display" dbus-run-session -- "$0" --session "$folder"
