# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by test.sh and run.sh: installs the Debian packages that are missing.
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
    missing=$(qv12_missing_packages "$@" | tr '\n' ' ')
    missing=${missing% }
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        # All that run.sh and test.sh need, so that root is needed once.
        missing=$(qv12_missing_packages "$@" "${QV12_USER_PACKAGES[@]}" | awk '!seen[$0]++' | tr '\n' ' ')
        missing=${missing% }
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

# What building and testing need; dpkg-dev for the hardening flags and, with file, for
# the package that the tests build.
QV12_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
    dpkg-dev file
    libqt6svg6 fonts-dejavu-core
    appstream desktop-file-utils
    xvfb x11-utils xdotool)
# The fuzz target needs clang with libFuzzer and the sanitizer runtimes.
QV12_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# What the package's test uses where it is there: lintian, and hardening-check (devscripts).
QV12_CHECK_PACKAGES=(lintian devscripts)
# What run.sh and test.sh need together: a normal user is told to install it all at once.
QV12_USER_PACKAGES=("${QV12_BUILD_PACKAGES[@]}" "${QV12_FUZZ_PACKAGES[@]}" "${QV12_CHECK_PACKAGES[@]}")
# What scripts/check-package.sh needs to build the package and try it in a fresh root.
QV12_PACKAGE_PACKAGES=(dpkg-dev file debootstrap xvfb)
