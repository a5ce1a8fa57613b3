# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by test.sh, run.sh and the other scripts: installs the Debian packages that are
# missing. The README gives the sizes of the two sets on a fresh Debian 12.
# As root it installs them with apt-get; as another user it names them, with the one
# command that installs them, and stops.
. "$(dirname "${BASH_SOURCE[0]}")/root-command.sh"

qv12_missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
    done
}

qv12_ensure_packages() {
    local missing
    missing=$(qv12_missing_packages "$@" | awk '!seen[$0]++' | tr '\n' ' ')
    missing=${missing% }
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: $missing" >&2
        echo "Install them as root, once, and run this again:" >&2
        echo "    $(qv12_as_root "apt-get update" "apt-get install --no-install-recommends $missing")" >&2
        exit 1
    fi
    echo "Installing: $missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
}

# What building and running the program needs (run.sh): the compiler, CMake, Qt with its
# serial port and chart modules (Debian's chart module finds Qt's OpenGL module through
# libqt6opengl6-dev, which it does not pull in), Qt's translation tools (every build
# collects the texts for translators), the SVG plug-in and a font for the window, and
# dpkg-dev for Debian's hardening flags.
QV12_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    qt6-l10n-tools dpkg-dev libqt6svg6 fonts-dejavu-core)
# What test.sh adds: file, for the package the tests build; the validators of the desktop entry and the
# AppStream data; a virtual X server and the tools that read its title bars; clang with
# libFuzzer and the sanitizer runtimes for the fuzz target; lintian and hardening-check
# (devscripts) for the package; Qt's SQLite and PostgreSQL
# drivers, and a PostgreSQL server the tests start themselves.
QV12_TEST_PACKAGES=(file appstream desktop-file-utils
    xvfb x11-utils xdotool
    clang libclang-rt-14-dev
    lintian devscripts
    libqt6sql6-sqlite libqt6sql6-psql postgresql)
# What scripts/check-package.sh needs to build the package and try it in a fresh root.
QV12_PACKAGE_PACKAGES=(dpkg-dev file debootstrap xvfb)
