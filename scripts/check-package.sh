#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package in build/ (cpack -G DEB), installs it into a fresh Debian 12
# root made with debootstrap (or, with --here, on this machine), starts the programs
# there headless, and lists what the package installed. Needs root: it installs
# packages, and mounts /proc and the X socket directory into the fresh root.
#
#   scripts/check-package.sh            # fresh root under build-check-package/
#   scripts/check-package.sh --here     # dpkg on this machine; removed again afterwards
#
# The base system is downloaded once and kept in build-check-package/base; every run
# installs into a new copy of it.
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

step "Building and packaging"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" >/dev/null
rm -f build/qv12-configurator_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/qv12-configurator_*.deb)
echo "$deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends Installed-Size

# Beside build/ rather than in it: a normal user takes build/ back after a run as root,
# and a Debian root must stay root's.
work=$PWD/build-check-package
mkdir -p "$work"
display=:97
xvfb_pid=
root=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    if [ -n "$root" ]; then
        umount "$root/tmp/.X11-unix" 2>/dev/null || true
        umount "$root/proc" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ "$mode" = fresh-root ]; then
    base=$work/base
    if [ ! -x "$base/usr/bin/apt-get" ]; then
        step "Making a Debian 12 base system (once)"
        rm -rf "$base"
        debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >/dev/null
    fi
    root=$work/root
    rm -rf "$root"
    cp -a "$base" "$root"
    mount -t proc proc "$root/proc"
    mkdir -p "$root/tmp/.X11-unix"
    cp "$deb" "$root/tmp/"
    in_target() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
    target_tmp=$root/tmp
    package=/tmp/$(basename "$deb")
else
    in_target() { env HOME=/root LANG=C.UTF-8 "$@"; }
    target_tmp=/tmp
    package=$PWD/$deb
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
