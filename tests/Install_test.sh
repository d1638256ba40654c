#!/usr/bin/env bash
# Installs the build into a temporary prefix as a user or a package would, checks the layout and
# the desktop metadata, runs the installed tools together, and starts the installed program
# through its launcher on the PATH until it has loaded the sample dictionaries.
# Usage: Install_test.sh BUILD_FOLDER
set -euo pipefail

build=$1
id=org.example.kalvora.Kalvora
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

expected=(
    bin/kalvora bin/kalvora-lookup bin/kalvora-mkdic
    lib/kalvora/kalvora
    lib/kalvora/dics/tolk/tolk.inf lib/kalvora/dics/tolk/tolk.idx lib/kalvora/dics/tolk/tolk.dat
    lib/kalvora/dics/enc/enc.idx lib/kalvora/dics/misc/misc.idx
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
    share/doc/kalvora/dictionary-format.md share/doc/kalvora/README.md
    share/doc/kalvora/copyright share/doc/kalvora/changelog.gz
    share/man/man1/kalvora.1.gz share/man/man1/kalvora-lookup.1.gz share/man/man1/kalvora-mkdic.1.gz
)
for size in 16 22 32 48 64 128; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
for program in bin/kalvora bin/kalvora-lookup bin/kalvora-mkdic lib/kalvora/kalvora; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" \
    || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
grep -q "^Icon=$id$" "$prefix/share/applications/$id.desktop" || fail "the desktop entry names another icon"
grep -q "^Exec=kalvora$" "$prefix/share/applications/$id.desktop" || fail "the desktop entry starts another program"

# A home of its own, so that no dictionary or setting of whoever runs the test counts.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_STATE_HOME=$HOME/.local/state XDG_DATA_HOME=$HOME/.local/share
mkdir -p "$HOME"

# The installed tools, from a folder of their own: a dictionary made and looked up.
export PATH="$prefix/bin:$PATH"
mkdir -p "$work/user/dics"
printf 'кот\tдомашний зверь\n' >"$work/user/cat.tsv"
(cd / && kalvora-mkdic --id 2A --category EXP --short-name Кот "$work/user/cat.tsv" "$work/user/dics/cat") \
    >"$work/mkdic.log" || { cat "$work/mkdic.log"; fail "the installed kalvora-mkdic"; }
answer=$(echo кот | (cd / && kalvora-lookup --article "$work/user/dics"))
[ "$answer" = $'1\t2a\t0\t-1\tКот\tдомашний зверь' ] || fail "the installed kalvora-lookup answered: $answer"

answer=$(cd / && kalvora-lookup "$work/user/dics" кот) || fail "the installed kalvora-lookup did not find a word given as an argument"
[ "$answer" = $'1\t2a\t0\t-1\tКот' ] || fail "the installed kalvora-lookup answered: $answer"
MANPATH="$prefix/share/man" man -w kalvora-lookup >/dev/null 2>&1 || fail "man does not find the installed kalvora-lookup page"

# The program, started the way the desktop entry starts it.
if [ -w "$prefix/lib/kalvora" ]; then
    log=$prefix/lib/kalvora/file.log
else
    log=$XDG_STATE_HOME/kalvora/file.log
fi
# No session bus: a Kalvora the user runs would otherwise take the start over.
(cd / && exec env QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
    timeout 60 kalvora) >"$work/program.out" 2>&1 &
pid=$!
loaded=0
for _ in $(seq 1 300); do
    loaded=$(grep -c '\[Database::Load\] Dictionary loaded' "$log" 2>/dev/null || true)
    [ "${loaded:-0}" -ge 3 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if [ "${loaded:-0}" -lt 3 ]; then
    cat "$work/program.out"
    [ -f "$log" ] && cat "$log"
    fail "the installed program did not load its three sample dictionaries (log: $log)"
fi
kill -0 "$pid" 2>/dev/null || fail "the installed program ended by itself"
kill -TERM "$pid"
wait "$pid" 2>/dev/null || true
pid=""
echo "installed into a temporary prefix; the launcher started the program, which loaded $loaded dictionaries"
