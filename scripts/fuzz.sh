#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, preset fuzz) and runs each one on a copy of its seed corpus.
#   scripts/fuzz.sh                 every target for -runs=200000 (what CI runs)
#   scripts/fuzz.sh -max_total_time=3600 [target...]
# Any finding stops the script with the target's exit status; crash inputs land in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:--runs=200000}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    targets=($(cd fuzz/corpus && ls))
fi
mkdir -p build/fuzz/findings
for t in "${targets[@]}"; do
    work=build/fuzz/corpus/$t
    mkdir -p "$work"
    cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
    echo "== $t ($limit)"
    # PIPESTATUS must be read straight after the pipeline: a `|| true` would replace it.
    set +e
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        build/fuzz/fuzz/"$t" "$limit" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/findings/"$t"- "$work" 2>&1 |
        grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==|SUMMARY|property failed|Done )'
    status=${PIPESTATUS[0]}
    set -e
    if [[ $status -ne 0 ]]; then
        echo "$t: finding (exit $status); input in build/fuzz/findings/" >&2
        exit "$status"
    fi
done
