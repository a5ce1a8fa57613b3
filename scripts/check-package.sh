#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package (cpack -G DEB), installs it into a fresh Debian 12 root made
# with debootstrap (or, with --here, on this machine), starts the programs there
# headless, and lists what the package installed. Needs root: it installs packages, and
# mounts /proc and the X socket directory into the fresh root.
#
#   scripts/check-package.sh            # in a fresh Debian 12 root
#   scripts/check-package.sh --here     # dpkg on this machine; removed again afterwards
#
# Everything it makes (the build tree, the package, the fresh root: about 1 GB) goes into
# one temporary folder outside the clone, under $TMPDIR or /var/tmp, so that root leaves
# no files in the clone. The folder is removed at the end, also on Ctrl-C; when the check
# fails it is kept for a look, and its path printed.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=fresh-root
case "${1:-}" in
    "" | --fresh-root) ;;
    --here) mode=here ;;
    *) echo "Usage: $0 [--fresh-root | --here]" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    echo "check-package.sh: run it as root: it installs the package." >&2
    exit 1
fi

. scripts/ensure-packages.sh
qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}" "${QV12_PACKAGE_PACKAGES[@]}"

step() { printf '\n== %s\n' "$*"; }
fail() { echo "check-package.sh: $*" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/var/tmp}/qv12-check-package.XXXXXX")
display=:97
xvfb_pid=
root=
passed=false
interrupted=false
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    if [ -n "$root" ]; then
        umount "$root/tmp/.X11-unix" 2>/dev/null || true
        umount "$root/proc" 2>/dev/null || true
    fi
    if [ "$passed" = true ] || [ "$interrupted" = true ]; then
        # Never across a mount that failed to go: the host's /proc or /tmp/.X11-unix.
        rm -rf --one-file-system "$work"
    else
        echo "check-package.sh: its files stay in $work for a look; remove them with: rm -rf $work" >&2
    fi
}
trap cleanup EXIT
trap 'interrupted=true; exit 130' INT TERM

step "Building and packaging (in $work)"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$work/build" --parallel "$(nproc)" >/dev/null
(cd "$work/build" && cpack -G DEB >/dev/null)
deb=$(ls "$work"/build/qv12-configurator_*.deb)
echo "$(basename "$deb") ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Homepage Depends Recommends Installed-Size

if [ "$mode" = fresh-root ]; then
    root=$work/root
    step "Making a fresh Debian 12 system (debootstrap)"
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
    mount -t proc proc "$root/proc"
    mkdir -p "$root/tmp/.X11-unix"
    cp "$deb" "$root/tmp/"
    in_target() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
    target_tmp=$root/tmp
    package=/tmp/$(basename "$deb")
else
    in_target() { env HOME=/root LANG=C.UTF-8 "$@"; }
    target_tmp=/tmp
    package=$deb
fi

step "Installing the package ($mode), with its dependencies but no recommendations"
in_target apt-get update -q >/dev/null
in_target env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "$package" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "the package did not install"; }
grep -E '^(Setting up|Unpacking) qv12-configurator' "$work/install.log" || true
echo "$(grep -c '^Setting up' "$work/install.log") packages set up"

step "qv12-configurator --version (QT_QPA_PLATFORM=offscreen)"
version=$(in_target env QT_QPA_PLATFORM=offscreen qv12-configurator --version)
echo "$version"
[ "$version" = "qv12-configurator 2.4" ] || fail "unexpected version line"

step "qv12-cdb and qv12-chipsim"
in_target qv12-cdb builtin /tmp/builtin.cdb
entries=$(in_target qv12-cdb list /tmp/builtin.cdb | wc -l)
in_target qv12-cdb list /tmp/builtin.cdb | head -3
echo "... $entries entries"
[ "$entries" -eq 41 ] || fail "qv12-cdb list shows $entries entries, not 41"
in_target qv12-chipsim --help | head -2
rm -f "$target_tmp/builtin.cdb"

step "The program as the desktop menu starts it, on an X display (Xvfb), for 5 s"
exec_line=$(sed -n 's/^Exec=//p' "${root:-}/usr/share/applications/qv12-configurator.desktop")
echo "Exec=$exec_line"
if [ -n "$root" ]; then
    mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
fi
Xvfb "$display" -nolisten tcp -noreset -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
set +e
# shellcheck disable=SC2086
gui_output=$(in_target env DISPLAY=$display QT_QPA_PLATFORM=xcb timeout 5 $exec_line 2>&1)
gui_status=$?
set -e
echo "$gui_output" | grep -v '^QStandardPaths' || true
[ "$gui_status" -eq 124 ] || fail "the program ended by itself (status $gui_status) instead of running"
echo "still running after 5 s: started"
in_target test -f /usr/lib/x86_64-linux-gnu/qt6/plugins/imageformats/libqsvg.so \
    || fail "the SVG image plug-in is missing"
echo "SVG image plug-in present"

step "Installed files (dpkg -L qv12-configurator)"
in_target dpkg -L qv12-configurator | while read -r path; do
    if in_target test -f "$path"; then echo "$path"; fi
done

if [ "$mode" = here ]; then
    step "Removing the package again"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q qv12-configurator >/dev/null
    echo "removed"
fi
step "Package check passed"
passed=true
