#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Reads the title bars of the program's windows as an X window manager gets them
# (_NET_WM_NAME and WM_NAME), on a virtual X server of its own: the main window, the port
# selection dialog, the help and About windows, a message box and the "Save as" file
# dialog, each opened from the keyboard as a user would. Each must read exactly its
# caption. Prints one line per window; exits 1 at the first that differs.
# Usage: scripts/check-window-captions.sh [PROGRAM]   (default build/app/qv12-configurator)
# Needs Xvfb (xvfb), xprop and xwininfo (x11-utils) and xdotool.
set -euo pipefail
program=$(realpath "${1:-$(dirname "$0")/../build/app/qv12-configurator}")
for tool in Xvfb xprop xwininfo xdotool; do
    command -v "$tool" >/dev/null || { echo "check-window-captions: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=
app=
cleanup() {
    if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "check-window-captions: $*" >&2
    [ -s "$work/program.log" ] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

# Waits until the command succeeds, 30 s at most (the machine may be busy).
await() {
    local what=$1
    shift
    for _ in $(seq 300); do
        "$@" && return 0
        sleep 0.1
    done
    fail "timed out waiting for $what"
}

# A display number of its own, which Xvfb writes once it accepts clients. Without
# -noreset the server resets when its last client leaves (the xprop below), and a
# program connecting during that reset is turned away.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
await "the X server" grep -q '^[0-9][0-9]*$' "$work/display"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
# Its number can come before it takes clients on a busy machine.
await "the X server to answer" xprop -root -display "$DISPLAY" _NET_SUPPORTED

# The program's windows that have a title bar: shown, and left to the window manager
# (its menus and tooltips bypass it).
framed_windows() {
    local id
    for id in $(xdotool search --onlyvisible --class qv12-configurator 2>/dev/null); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: no' && echo "$id"
    done | sort
}

# The one framed window that isn't in the list $1; fails while there is none.
new_window() {
    local id
    id=$(comm -13 <(echo "$1") <(framed_windows) | head -n 1)
    [ -n "$id" ] && echo "$id"
}

# What the title bar of window $1 shows: both of its name properties must agree.
title() {
    local net wm
    net=$(xprop -id "$1" -notype _NET_WM_NAME | sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p')
    wm=$(xprop -id "$1" -notype WM_NAME | sed -n 's/^WM_NAME = "\(.*\)"$/\1/p')
    [ "$net" = "$wm" ] || echo "_NET_WM_NAME \"$net\" but WM_NAME \"$wm\""
    echo "$net"
}

# Gives the main window the keyboard, presses keys, and checks the title of the window
# that opens. Leaves its id in $opened.
opened=
expect_window() {
    local caption=$1 before
    shift
    before=$(framed_windows)
    xdotool windowfocus --sync "$main"
    xdotool key --delay 40 "$@"
    opened=$(await "\"$caption\"" new_window "$before")
    local shown
    shown=$(title "$opened")
    [ "$shown" = "$caption" ] || fail "the title bar reads \"$shown\", not \"$caption\""
    printf '%-40s %s\n' "\"$caption\"" "as shown"
}

# Dismisses the modal window $opened with a key and waits until it is gone.
dismiss() {
    xdotool windowfocus --sync "$opened"
    xdotool key "$1"
    await "the window to close" bash -c "! xwininfo -id $opened 2>/dev/null | grep -q IsViewable"
}

# Started in an empty folder: the built-in list, which has no file to save to.
cd "$work"
QT_QPA_PLATFORM=xcb "$program" --simulate >"$work/program.log" 2>&1 &
app=$!
main=
# The main window follows the splash window, which is smaller.
main_window() {
    local id
    for id in $(framed_windows); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_SPLASH && continue
        [ "$(xwininfo -id "$id" | sed -n 's/^  Width: //p')" -gt 400 ] && { echo "$id"; return 0; }
    done
    return 1
}
main=$(await "the main window" main_window)
shown=$(title "$main")
[ "$shown" = "QV12 Configurator" ] || fail "the main window's title bar reads \"$shown\""
printf '%-40s %s\n' "\"QV12 Configurator\"" "as shown"

# "Detect Chipset" has the focus.
expect_window "Communication Port Selection" space
dismiss Escape
# Help > Contents, Help > About.
expect_window "QV12 Configurator Help" alt Right Right Down Return
expect_window "About" alt Right Right Down Down Down Return
# Database > Save database: the list has no file, which a message box says; message
# boxes carry the program's name.
expect_window "QV12 Configurator" alt Down Down Down Return
dismiss Return
# Database > Save database as...: the file dialog.
expect_window "Save configuration database as..." alt Down Down Down Down Return
dismiss Escape
