# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that tell a normal user what to run as root.

# Whether sudo admits this user, found out without prompting for a password: a member of
# the sudo group (Debian's sudoers admits the group), or one whom sudo -n lets list.
qv12_may_sudo() {
    command -v sudo >/dev/null 2>&1 || return 1
    id -nG | tr ' ' '\n' | grep -qx sudo && return 0
    sudo -n -l >/dev/null 2>&1
}

# Prints the shell commands given, joined by &&, as this user runs them as root: with
# sudo where the user may use it, otherwise with su and root's password.
qv12_as_root() {
    local command line=
    if qv12_may_sudo; then
        for command in "$@"; do line+="${line:+ && }sudo $command"; done
    else
        for command in "$@"; do line+="${line:+ && }$command"; done
        line="su -c '${line//\'/\'\\\'\'}'"
    fi
    printf '%s\n' "$line"
}
