#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds into build/ and runs the whole suite headless.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}" "${QV12_FUZZ_PACKAGES[@]}"
qv12_ensure_packages "${QV12_CHECK_PACKAGES[@]}"
. scripts/ensure-build-dir.sh
qv12_ensure_build_dir build build-sanitize build-portable

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build --parallel "$jobs"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel "$jobs"

# The whole suite again, built with the address, leak and undefined-behaviour sanitizers;
# a report in a test or in a program it starts fails that test.
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
    -DQV12_SANITIZE=ON
cmake --build build-sanitize --parallel "$jobs"
ctest --test-dir build-sanitize --output-on-failure --parallel "$jobs"

# The serial code on Qt alone, as a port to another system starts from it (QV12_PORTABLE):
# only what the serial, protocol, chip-window and tool tests need, built without
# optimisation to be quick, and those tests run on it.
cmake -S . -B build-portable -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DQV12_PORTABLE=ON
portable_tests=(tst_serial tst_chipworker tst_protocol tst_chipconnection tst_chipconfiguration
                tst_chipresponsiveness tst_cdbtool tst_chiptool tst_chiptoolline)
cmake --build build-portable --parallel "$jobs" --target "${portable_tests[@]}"
ctest --test-dir build-portable --output-on-failure --parallel "$jobs" \
    -R "^($(IFS='|'; echo "${portable_tests[*]}"))\$"

# The database reader under libFuzzer with the address and undefined-behaviour
# sanitizers, briefly; scripts/fuzz.sh SECONDS runs it longer.
scripts/fuzz.sh 30
