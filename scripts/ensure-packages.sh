# Sourced by test.sh and run.sh: installs the Debian packages that are missing.
# As root it installs them with apt-get; as another user it names them and stops.

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
        echo "These Debian packages are missing: $missing" >&2
        echo "Install them with: sudo apt-get install -y $missing" >&2
        exit 1
    fi
    echo "Installing: $missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
}

# What building and testing need.
QV12_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
    libqt6svg6 fonts-dejavu-core
    appstream desktop-file-utils
    xvfb x11-utils xdotool)
# The fuzz target needs clang with libFuzzer and the sanitizer runtimes.
QV12_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# What scripts/check-package.sh needs to build the package and try it in a fresh root.
QV12_PACKAGE_PACKAGES=(dpkg-dev file debootstrap xvfb)
