# shellcheck shell=bash
# Sourced by the scripts that tell a normal user what to run as root.

# Whether sudo lets this user in without our asking for a password now: a member of the
# sudo group (Debian's sudoers admits the group), or sudo says so itself.
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
