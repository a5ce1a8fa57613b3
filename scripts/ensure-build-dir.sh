# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by run.sh and test.sh: stops with what to do when a build folder holds files
# this user can't write, as a run as root leaves it.
. "$(dirname "${BASH_SOURCE[0]}")/root-command.sh"

# qv12_ensure_build_dir DIR...: the build folders the script is about to use.
qv12_ensure_build_dir() {
    local dir names='' paths='' count=0
    [ "$(id -u)" -eq 0 ] && return 0
    for dir in "$@"; do
        [ -e "$dir" ] || continue
        [ -z "$(find "$dir" ! -writable -print -quit 2>/dev/null)" ] && continue
        names+="${names:+ and }$dir/"
        paths+=" $(printf '%q' "$PWD/$dir")"
        count=$((count + 1))
    done
    [ "$count" -eq 0 ] && return 0
    echo "$names $([ "$count" -eq 1 ] && echo has || echo have) files you can't write," \
        "left by a run as root; make them yours with:" \
        "$(qv12_as_root "chown -R $(id -un):$paths")" >&2
    exit 1
}
