# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that build in the clone. A run as root (sudo, su -c) must not
# leave root's files in a clone that belongs to someone else: qv12_give_back_at_exit hands
# the build folders back to the clone's owner when the script ends, however it ends. A
# folder that a run as root left behind anyway stops a normal user with the command that
# takes it back.
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

# What the EXIT trap runs, in order: each script adds its own cleanup here rather than
# setting a trap of its own that would replace the others'.
QV12_AT_EXIT=()
qv12_at_exit() {
    QV12_AT_EXIT+=("$@")
    trap qv12_run_at_exit EXIT
}
qv12_run_at_exit() {
    local action
    for action in "${QV12_AT_EXIT[@]}"; do
        "$action" || true
    done
}

# qv12_give_back_at_exit DIR...: run as root in the clone (the current directory) of
# another user, gives DIR... (what exists of them) back to that user at the end. A script
# that another one runs (fuzz.sh from test.sh) leaves that to the outer one.
QV12_GIVE_BACK=()
qv12_give_back_at_exit() {
    [ "$(id -u)" -eq 0 ] || return 0
    [ "$(stat -c %u .)" -ne 0 ] || return 0
    [ "${QV12_GIVES_BACK:-$$}" = "$$" ] || return 0
    export QV12_GIVES_BACK=$$
    QV12_GIVE_BACK+=("$@")
    qv12_at_exit qv12_give_back
}
qv12_give_back() {
    local dir given=''
    for dir in "${QV12_GIVE_BACK[@]}"; do
        [ -e "$dir" ] || continue
        chown -R "$(stat -c %u:%g .)" "$dir" && given+="${given:+ }$dir"
    done
    QV12_GIVE_BACK=()
    [ -z "$given" ] || echo "Gave $given back to $(stat -c %U .), who owns this clone." >&2
}
