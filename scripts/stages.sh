# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by test.sh: runs a long job as named stages, each under a heading and ending with
# its count and time, and closes with one summary line that a reader (or a script) finds
# at the very end: per stage and in all, how many checks passed and failed. A stage of
# tests counts its test programs from ctest's summary; any other stage is one check.
#
#   qv12_stage check NAME COMMAND...   # status 0 is one passed, anything else one failed
#   qv12_stage tests NAME COMMAND...   # ctest's "N tests failed out of M" decides
#   qv12_stage_ok                      # whether the last stage's command succeeded
#   qv12_stage_skip NAME WHY           # a stage that could not run, counted as failed
#   qv12_stage_summary                 # the summary line; status 1 when anything failed
#
# A stage's command runs in a subshell with errexit, so a function made of several
# commands stops at the first that fails. For that, qv12_stage itself must not be called
# where bash ignores errexit (after if, while, !, or before && or ||): it always returns
# 0, and qv12_stage_ok tells how its command ended. QV12_STAGE_LOGS names a folder for the output
# of the test stages, which is shown as it comes and read again for the count.

QV12_STAGE_RESULTS=()
QV12_STAGE_PASSED=0
QV12_STAGE_FAILED=0
QV12_STAGE_STARTED=$SECONDS
QV12_STAGE_STATUS=0

# "42 s", "12 min 5 s".
qv12_duration() {
    local seconds=$1
    if [ "$seconds" -ge 60 ]; then
        echo "$((seconds / 60)) min $((seconds % 60)) s"
    else
        echo "$seconds s"
    fi
}

qv12_stage() {
    local kind=$1 name=$2
    shift 2
    local started=$SECONDS status passed failed counted errexit=0
    [[ $- == *e* ]] && errexit=1
    printf '\n==== %s (%s)\n' "$name" "$(date +%H:%M:%S)"
    set +e
    if [ "$kind" = tests ]; then
        local log
        log=$QV12_STAGE_LOGS/$(echo "$name" | tr -c 'a-z0-9\n' '-').log
        (set -e; "$@") 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
        # "95% tests passed, 1 tests failed out of 19"
        counted=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1)
        if [ -n "$counted" ]; then
            failed=${counted% *}
            passed=$((${counted#* } - failed))
        else
            passed=0
            failed=0
        fi
        # Ended before its summary, or failed beyond the tests it counted.
        if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
    else
        (set -e; "$@")
        status=$?
        if [ "$status" -eq 0 ]; then passed=1 failed=0; else passed=0 failed=1; fi
    fi
    [ "$errexit" -eq 1 ] && set -e
    QV12_STAGE_PASSED=$((QV12_STAGE_PASSED + passed))
    QV12_STAGE_FAILED=$((QV12_STAGE_FAILED + failed))
    QV12_STAGE_RESULTS+=("$name $passed passed, $failed failed")
    printf -- '---- %s: %s passed, %s failed, %s\n' "$name" "$passed" "$failed" "$(qv12_duration $((SECONDS - started)))"
    QV12_STAGE_STATUS=$status
}

qv12_stage_ok() {
    [ "$QV12_STAGE_STATUS" -eq 0 ]
}

qv12_stage_skip() {
    local name=$1 why=$2
    printf '\n==== %s: not run (%s)\n' "$name" "$why"
    QV12_STAGE_FAILED=$((QV12_STAGE_FAILED + 1))
    QV12_STAGE_RESULTS+=("$name not run")
}

qv12_stage_summary() {
    local line='' result
    for result in "${QV12_STAGE_RESULTS[@]}"; do
        line+="$result; "
    done
    printf '\nSummary: %sin all %s passed, %s failed, %s\n' "$line" "$QV12_STAGE_PASSED" "$QV12_STAGE_FAILED" \
        "$(qv12_duration $((SECONDS - QV12_STAGE_STARTED)))"
    [ "$QV12_STAGE_FAILED" -eq 0 ]
}
