#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# 1,000 simulated devices answer one search at once; prints rows listed and the time from the
# last reply sent to the last row listed. Needs root: it builds a namespace lab.
#   bench/discovery/run-search-bench.sh [--devices N] [--searches N]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${FERNWICK_BUILD_DIR:-build/default}
cmake --build "$build" --target bench_discovery_search
exec "$build/bench/discovery/bench_discovery_search" "$@"
