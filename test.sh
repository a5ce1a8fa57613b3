#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds into build/ and runs the whole suite headless, then
# again built with the sanitizers, then the serial, chip and tool tests on the portable
# serial code, then fuzzes the database reader. Each stage prints a
# heading and its time; the last line sums up what passed and failed.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
. scripts/ensure-build-dir.sh
. scripts/stages.sh

jobs=$(nproc)
# The tests spend most of their time waiting out the chip's protocol timing, not on a
# core, and they are made to hold on a loaded machine: two per core.
test_jobs=$((jobs * 2))
export QT_QPA_PLATFORM=offscreen
QV12_STAGE_LOGS=$(mktemp -d "${TMPDIR:-/tmp}/qv12-test.XXXXXX")
remove_logs() { rm -rf "$QV12_STAGE_LOGS"; }
qv12_at_exit remove_logs
qv12_give_back_at_exit build build-sanitize build-portable

packages() {
    qv12_ensure_packages "${QV12_BUILD_PACKAGES[@]}" "${QV12_TEST_PACKAGES[@]}"
}

# Where ccache is installed the builds go through it: the portable build then compiles
# little more than the file that differs, and a run after a change only what changed.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# build_tree DIR [CMAKE OPTIONS...]
build_tree() {
    local dir=$1
    shift
    qv12_ensure_build_dir "$dir"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "${launcher[@]}" "$@"
    cmake --build "$dir" --parallel "$jobs"
}

qv12_stage check packages packages
if ! qv12_stage_ok; then
    qv12_stage_summary || exit 1
fi

qv12_stage check build build_tree build
if qv12_stage_ok; then
    qv12_stage tests tests ctest --test-dir build --output-on-failure --parallel "$test_jobs"
else
    qv12_stage_skip tests "the build failed"
fi

# The whole suite again, built with the address, leak and undefined-behaviour sanitizers;
# a report in a test or in a program it starts fails that test.
qv12_stage check "sanitizer build" build_tree build-sanitize -DQV12_SANITIZE=ON
if qv12_stage_ok; then
    qv12_stage tests "sanitizer tests" ctest --test-dir build-sanitize --output-on-failure --parallel "$test_jobs"
else
    qv12_stage_skip "sanitizer tests" "the sanitizer build failed"
fi

# The serial code on Qt alone, as a port to another system starts from it (QV12_PORTABLE):
# only what the tests of the link, the jobs, the window's chip actions, the port lock and
# the station need, and those tests run on it.
portable_tests=(tst_serial tst_chipworker tst_protocol tst_chipconnection tst_chipresponsiveness
                tst_chiptool tst_station)
build_portable() {
    qv12_ensure_build_dir build-portable
    cmake -S . -B build-portable -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
        -DQV12_PORTABLE=ON "${launcher[@]}"
    cmake --build build-portable --parallel "$jobs" --target "${portable_tests[@]}"
}
qv12_stage check "portable build" build_portable
if qv12_stage_ok; then
    qv12_stage tests "portable tests" ctest --test-dir build-portable --output-on-failure --parallel "$test_jobs" \
        -R "^($(IFS='|'; echo "${portable_tests[*]}"))\$"
else
    qv12_stage_skip "portable tests" "the portable build failed"
fi

# The database reader under libFuzzer with the address and undefined-behaviour
# sanitizers, briefly; scripts/fuzz.sh SECONDS runs it longer.
qv12_stage check fuzzing scripts/fuzz.sh 30

qv12_give_back  # now, so that the summary stays the last line
qv12_stage_summary
