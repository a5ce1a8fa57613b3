#!/usr/bin/env bash
# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz target of the database reader with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it. Any finding fails the run; its input is kept
# under build/fuzz/findings/ (replay: build/fuzz/fuzz_database FILE).
# Usage: scripts/fuzz.sh [seconds]    (default 600; test.sh runs 30)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-build-dir.sh
qv12_ensure_build_dir build
qv12_give_back_at_exit build

seconds=${1:-600}
build=build/fuzz
cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"

# The golden files seed the corpus; what the fuzzer finds is kept for the next run.
corpus=$build/corpus
mkdir -p "$corpus" "$build/findings"
cp tests/data/*.cdb "$corpus"/

log=$build/fuzz.log
start=$(date +%s)
if ! "$build/fuzz_database" -max_total_time="$seconds" -max_len=9000 -timeout=10 \
        -dict=tests/fuzz/cdb.dict -artifact_prefix="$build/findings/" \
        -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: FINDING (full log: $log; inputs: $build/findings/)" >&2
    exit 1
fi
elapsed=$(( $(date +%s) - start ))
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
files=$(find "$corpus" -type f | wc -l)
echo "fuzz: no findings; $runs executions in ${elapsed} s, corpus $files files"
