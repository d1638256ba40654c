#!/usr/bin/env bash
# Runs the notification-area test on a virtual X display, with or without a notification area
# (trayer) beside it.
# Usage: Tray_test.sh TEST_PROGRAM with-host|without-host
set -euo pipefail

if [ "${1:-}" = "--session" ]; then
    program=$2
    if [ "$3" = with-host ]; then
        trayer --SetDockType true --expand false --width 10 &
        tray=$!
        trap 'kill $tray 2>/dev/null || true' EXIT
        export KALVORA_TRAY_HOST=1
    else
        export KALVORA_TRAY_HOST=0
    fi
    QT_QPA_PLATFORM=xcb "$program"
    exit
fi

"$(dirname "$0")/../tools/virtual-display" "$0" --session "$1" "$2"
