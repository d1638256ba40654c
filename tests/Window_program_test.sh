#!/usr/bin/env bash
# The window program's command line, end to end: --help, --version and usage errors without a
# display; then, on a virtual X display with a session bus of its own, a word on the command line,
# a later start handing its word to the running window, --selection with the primary selection
# and with the clipboard, two starts at once, and a start without a session bus. The article is
# read as a screen reader reads it.
# Usage: Window_program_test.sh PROGRAM SAMPLE_DICS
set -euo pipefail
source "$(dirname "$0")/../tools/x11-session.sh"
here=$(cd "$(dirname "$0")" && pwd)

fail() {
    echo "FAIL: $*"
    [ ! -f program.log ] || { echo "the program's output:"; cat program.log; }
    exit 1
}

expect_article() {
    /usr/bin/python3 "$here/Article_text.py" "$1" || fail "$2"
}

# Runs a later start of the program; fails unless it ends with status 0 of its own accord within
# the seconds given (60 unless told).
later_start() {
    local seconds=60
    if [ "${1:-}" = --within ]; then
        seconds=$2
        shift 2
    fi
    local started ended status=0
    started=$(date +%s%N)
    timeout 60 ./kalvora "$@" || status=$?
    ended=$(date +%s%N)
    [ "$status" -eq 0 ] || fail "kalvora $* ended with status $status"
    [ $(((ended - started) / 1000000)) -lt $((seconds * 1000)) ] \
        || fail "kalvora $* took $(((ended - started) / 1000000)) ms"
    echo "kalvora $* handed over and ended in $(((ended - started) / 1000000)) ms"
}

# Runs a start in the background of a test that waits for it; its output goes to LOG, and its exit
# status and time in milliseconds to LOG.status.
timed_start() { # log argument...
    local log=$1 started status=0
    shift
    started=$(date +%s%N)
    timeout 60 ./kalvora "$@" >"$log" 2>&1 || status=$?
    echo "$status $((($(date +%s%N) - started) / 1000000))" >"$log.status"
}

# The machine may be busy with other tests: up to half a minute for the window.
main_window() {
    wait_for_main_window || wait_for_main_window || wait_for_main_window
}

count_main_windows() {
    main_windows | wc -l
}

set_selection() { # primary clipboard
    printf '%s' "$1" | xclip -selection primary >/dev/null 2>&1
    printf '%s' "$2" | xclip -selection clipboard >/dev/null 2>&1
}

run_session() {
    cd "$1"
    export QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null || fail "the accessibility bus (org.a11y.Bus) did not start"

    ./kalvora дом >program.log 2>&1 &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT
    local window
    window=$(main_window) || fail "no Kalvora window appeared"
    expect_article дом "kalvora дом did not show the article of дом"
    grep -q '\[Database::Load\] Dictionary loaded' file.log || fail "the running window logged no load"

    # Started from a menu entry: the launcher's busy pointer is told to stop.
    xev -root -event property >xev.log 2>&1 &
    local xev=$!
    sleep 0.5
    DESKTOP_STARTUP_ID='menu/kalvora-1_TIME42' later_start кот
    expect_article кот "the running window did not look up the word of a later start"
    sleep 0.5
    kill "$xev"
    [ "$(grep -c '(_NET_STARTUP_INFO_BEGIN)' xev.log)" -eq 1 ] \
        || fail "a start that handed over did not end its startup notice"
    later_start
    [ "$(count_main_windows)" -eq 1 ] || fail "a later start opened a window of its own"
    grep -q '\[Database::Load\] Dictionary loaded' file.log || fail "a later start emptied the log"
    # The running window keeps the words looked up at once; nothing else may be there yet.
    [ ! -e Kalvora.ini ] || ! grep -qv '^WORD_HISTORY=' Kalvora.ini \
        || fail "a later start wrote the settings"

    set_selection '  «слово», ' 'вода'
    later_start --selection
    expect_article слово "--selection did not look up the primary selection"
    set_selection '' 'книга.'
    later_start --selection
    expect_article книга "--selection did not fall back to the clipboard"
    # A passage of 17 MB, more than one request to the display holds: its holder hands it over in
    # pieces. Its first line is looked up.
    set_selection "$(printf '«лес»,\n'; head -c 17000000 /dev/zero | tr '\0' 'x')" ''
    later_start --selection
    expect_article лес "--selection did not look up the first line of a long selection"
    set_selection '' 'книга.'
    later_start --selection
    set_selection ' ' '...'
    later_start --selection
    expect_article книга "an empty selection changed the article"

    # A program that holds the selection and never answers: the window is shown without a word
    # after two seconds. The primary selection's holder is asked first; the clipboard's when the
    # primary selection is blank.
    local selection holder
    for selection in primary clipboard; do
        set_selection ' ' ' '
        printf 'кот' | xclip -quiet -selection "$selection" >/dev/null 2>&1 &
        holder=$!
        sleep 0.3
        kill -STOP "$holder"
        later_start --within 8 --selection
        # Once it goes on, it may end of itself on finding that no one waits for its answer.
        kill -CONT "$holder"
        kill "$holder" 2>/dev/null || true
        expect_article книга "a silent holder of the $selection selection changed the article"
    done

    # A running window that no longer answers, stopped here: each later start waits at most five
    # seconds, says so, and ends with status 1 without a window of its own. They run side by side.
    kill -STOP "$pid"
    local name status ms
    local -A starts=([word]=лес [selection]=--selection [bare]="")
    for name in "${!starts[@]}"; do
        # shellcheck disable=SC2086
        timed_start "stalled-$name.log" ${starts[$name]} &
    done
    for name in "${!starts[@]}"; do
        while [ ! -f "stalled-$name.log.status" ]; do sleep 0.1; done
        read -r status ms <"stalled-$name.log.status"
        [ "$status" -eq 1 ] || fail "with a stopped window, kalvora ${starts[$name]} ended with status $status"
        [ "$ms" -lt 9000 ] || fail "with a stopped window, kalvora ${starts[$name]} waited $ms ms"
        grep -q 'did not answer within 5 seconds' "stalled-$name.log" \
            || fail "with a stopped window, kalvora ${starts[$name]} did not say so: $(cat "stalled-$name.log")"
    done
    [ "$(count_main_windows)" -eq 1 ] || fail "a start opened a window beside a stopped one"
    kill -CONT "$pid"
    echo "starts beside a stopped window said so: $(grep 'did not answer' stalled-word.log)"
    later_start кот
    expect_article кот "the window did not answer again once it went on"

    close_with_ctrl_q "$window" "$pid" || fail "the program did not end after Ctrl+Q"
    wait "$pid" || fail "the program ended with status $?"
    [ -f Kalvora.ini ] || fail "Kalvora.ini was not written at close"

    # Two starts at the same moment: one becomes the window, the other hands over to it.
    ./kalvora дом >program.log 2>&1 &
    local first=$!
    ./kalvora кот >program2.log 2>&1 &
    local second=$!
    window=$(main_window) || fail "of two starts at once, neither opened a window"
    local ended="" status
    for _ in $(seq 1 200); do
        for pid in $first $second; do
            if ! kill -0 "$pid" 2>/dev/null; then
                ended=$pid
                break 2
            fi
        done
        sleep 0.1
    done
    [ -n "$ended" ] || fail "of two starts at once, neither handed over and ended"
    status=0
    wait "$ended" || status=$?
    [ "$status" -eq 0 ] || fail "the start that handed over ended with status $status"
    [ "$(count_main_windows)" -eq 1 ] || fail "two starts at once opened two windows"
    # The window looks up its own word first, then the word handed over.
    expect_article "$([ "$ended" = "$first" ] && echo дом || echo кот)" \
        "of two starts at once, the window did not show the word handed over to it"
    pid=$([ "$ended" = "$first" ] && echo "$second" || echo "$first")
    xdotool windowfocus --sync "$window"
    xdotool key ctrl+q
    wait "$pid" || fail "the program ended with status $?"

    # A program that holds the name but does not answer: the start says so and leaves the log
    # and the settings alone.
    /usr/bin/python3 -c '
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
              GLib.Variant("(su)", ("org.example.kalvora.Kalvora", 4)), None, 0, -1, None)
print("owner", flush=True)
GLib.MainLoop().run()' >owner.log 2>&1 &
    local owner=$!
    for _ in $(seq 1 100); do
        grep -q owner owner.log && break
        sleep 0.1
    done
    local before
    before=$(cat file.log Kalvora.ini | md5sum)
    status=0
    timeout 60 ./kalvora дом >program.log 2>&1 || status=$?
    kill "$owner"
    [ "$status" -eq 1 ] || fail "with a silent owner of the name the start ended with status $status"
    grep -q 'did not answer' program.log || fail "the start did not say that no one answered"
    [ "$(cat file.log Kalvora.ini | md5sum)" = "$before" ] || fail "the start touched the log or the settings"
    echo "a start that could not hand over said so: $(grep "did not answer" program.log)"

    # Without a session bus every start is a window of its own, as before.
    DBUS_SESSION_BUS_ADDRESS=unix:path=$PWD/no-bus ./kalvora лес >program.log 2>&1 &
    pid=$!
    window=$(main_window) || fail "without a session bus no window appeared"
    xdotool windowfocus --sync "$window"
    xdotool key ctrl+q
    wait "$pid" || fail "without a session bus the program ended with status $?"
    echo "a word, a later start and the selection reached the one running window"

    # No dictionary anywhere: the message box, then the end with status 1. The splash window
    # carries the same title, so the box is looked for once it has gone.
    mkdir -p none/dics
    cp kalvora none/
    (cd none && DBUS_SESSION_BUS_ADDRESS=unix:path=$PWD/no-bus timeout 60 ./kalvora >program.log 2>&1) &
    pid=$!
    local box=""
    for _ in $(seq 1 300); do
        sleep 0.2
        box=$(xdotool search --onlyvisible --name '^Kalvora$' 2>/dev/null | tail -n 1 || true)
        [ -n "$box" ] && sleep 0.5 && [ "$(xdotool search --onlyvisible --name '^Kalvora$' | tail -n 1)" = "$box" ] && break
    done
    [ -n "$box" ] || fail "without a dictionary no message appeared"
    xdotool windowfocus --sync "$box"
    xdotool key Return
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 1 ] || fail "without a dictionary the program ended with status $status"
    echo "without a dictionary the program said so and ended with status 1"
}

start_session_test "$@"

# No display is needed to ask for help, nor to be told the command line is wrong.
export -n DISPLAY WAYLAND_DISPLAY
out=$("$folder/kalvora" --help) || fail "--help ended with status $?"
[[ $out == "usage: kalvora"* && $out == *--selection* ]] || fail "--help printed: $out"
out=$("$folder/kalvora" --version) || fail "--version ended with status $?"
[[ $out =~ ^kalvora\ [0-9]+\.[0-9]+$ ]] || fail "--version printed: $out"
for arguments in "--bogus" "-x word" "--selection word" "word --helpme"; do
    status=0
    # shellcheck disable=SC2086
    "$folder/kalvora" $arguments >"$folder/out" 2>"$folder/err" || status=$?
    [ "$status" -eq 2 ] || fail "kalvora $arguments ended with status $status, not 2"
    [ ! -s "$folder/out" ] || fail "kalvora $arguments wrote to standard output"
    grep -q '^usage: kalvora' "$folder/err" || fail "kalvora $arguments gave no usage message"
done
echo "--help, --version and usage errors answered without a display"

export HOME=$folder/home
mkdir -p "$HOME"
"$here/../tools/virtual-display" dbus-run-session -- "$0" --session "$folder"
