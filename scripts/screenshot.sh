#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Photographs the main window for the README: runs ./run.sh under a virtual X server
# and writes docs/main-window.png (or the path given).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}" xvfb xauth imagemagick x11-utils
. scripts/ensure-build-dir.sh
qv12_ensure_build_dir build

out=${1:-docs/main-window.png}
mkdir -p "$(dirname "$out")"
qv12_give_back_at_exit build "$out"
log=$(mktemp -d "${TMPDIR:-/tmp}/qv12-screenshot.XXXXXX")
remove_log() { rm -rf "$log"; }
qv12_at_exit remove_log
export QV12_SHOT_LOG=$log/program.log
# Build first, so that the window is photographed and not the compiler's wait.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target qv12-configurator

export QV12_SHOT_OUT=$out
xvfb-run --auto-servernum --server-args="-noreset -screen 0 1280x900x24" bash -c '
    set -euo pipefail
    ./run.sh >"$QV12_SHOT_LOG" 2>&1 &
    app=$!
    trap "kill $app 2>/dev/null || true" EXIT
    # The main window replaces the smaller splash window; wait for it, 60 s at most.
    # (Its name is also on a 1x1 helper window of Qt, hence the class and the size.)
    window=
    for _ in $(seq 600); do
        window=$(xwininfo -root -tree | awk '"'"'/"QV12 Configurator": \("qv12-configurator"/ {
            split($0, part, ")  "); split(part[2], size, "x");
            if (size[1] + 0 > 400) { print $1; exit } }'"'"' || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "The main window did not appear" >&2; exit 1; }
    sleep 0.5  # let it paint
    /usr/bin/import -window "$window" "$QV12_SHOT_OUT"
'
echo "Wrote $out"
