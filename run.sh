#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building and running need (not the test tools: test.sh adds those),
# builds into build/ and starts the QV12 Configurator with a simulated chip on COM1.
# Extra arguments go to the program (e.g. --port 2=/dev/ttyUSB0); with --simulate-line N
# the simulated stations take COM1 to COM N instead of the simulated chip.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}"
. scripts/ensure-build-dir.sh
qv12_ensure_build_dir build
qv12_give_back_at_exit build

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target qv12-configurator
qv12_give_back  # exec ends the script without its exit actions
simulate=(--simulate)
for argument in "$@"; do
    case "$argument" in --simulate-line|--simulate-line=*) simulate=() ;; esac
done
exec build/app/qv12-configurator "${simulate[@]}" "$@"
