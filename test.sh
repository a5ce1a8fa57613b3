#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds into build/ and runs the whole suite headless, then
# again built with the sanitizers, then fuzzes the database reader. Each stage prints a
# heading and its time; the last line sums up what passed and failed.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
. scripts/ensure-build-dir.sh
. scripts/stages.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
QV12_STAGE_LOGS=$(mktemp -d "${TMPDIR:-/tmp}/qv12-test.XXXXXX")
remove_logs() { rm -rf "$QV12_STAGE_LOGS"; }
qv12_at_exit remove_logs
qv12_give_back_at_exit build build-sanitize

packages() {
    qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}" "${QV12_TEST_PACKAGES[@]}"
}

# build_tree DIR [CMAKE OPTIONS...]
build_tree() {
    local dir=$1
    shift
    qv12_ensure_build_dir "$dir"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@"
    cmake --build "$dir" --parallel "$jobs"
}

qv12_stage check packages packages
if ! qv12_stage_ok; then
    qv12_stage_summary || exit 1
fi

qv12_stage check build build_tree build
if qv12_stage_ok; then
    qv12_stage tests tests ctest --test-dir build --output-on-failure --parallel "$jobs"
else
    qv12_stage_skip tests "the build failed"
fi

# The whole suite again, built with the address, leak and undefined-behaviour sanitizers;
# a report in a test or in a program it starts fails that test.
qv12_stage check "sanitizer build" build_tree build-sanitize -DQV12_SANITIZE=ON
if qv12_stage_ok; then
    qv12_stage tests "sanitizer tests" ctest --test-dir build-sanitize --output-on-failure --parallel "$jobs"
else
    qv12_stage_skip "sanitizer tests" "the sanitizer build failed"
fi

# The database reader under libFuzzer with the address and undefined-behaviour
# sanitizers, briefly; scripts/fuzz.sh SECONDS runs it longer.
qv12_stage check fuzzing scripts/fuzz.sh 30

qv12_give_back  # now, so that the summary stays the last line
qv12_stage_summary
