# shellcheck shell=bash
# Sourced by run.sh and test.sh: stops with what to do when the build folder holds files
# this user can't write, as a run as root leaves it.
. "$(dirname "${BASH_SOURCE[0]}")/root-command.sh"

qv12_ensure_build_dir() {
    local dir=$1
    [ "$(id -u)" -eq 0 ] && return 0
    [ -e "$dir" ] || return 0
    [ -z "$(find "$dir" ! -writable -print -quit 2>/dev/null)" ] && return 0
    echo "$dir/ has files you can't write, left by a run as root; make them yours with:" \
        "$(qv12_as_root "chown -R $(id -un): $(printf '%q' "$PWD/$dir")")" >&2
    exit 1
}
