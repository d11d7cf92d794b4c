#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Format check, clang-tidy on our sources and flake8 on the Python; any finding fails.
# Needs build/default/compile_commands.json (scripts/test.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t cxx < <(git ls-files '*.cpp' '*.h' | grep -E '^(src|tools|tests|fuzz|bench)/')
clang-format-14 --dry-run --Werror "${cxx[@]}"
mapfile -t tidy < <(git ls-files '*.cpp' | grep -E '^(src|tools)/')
run-clang-tidy-14 -quiet -j 2 -p build/default "${tidy[@]/#/$PWD/}" > build/clang-tidy.log 2>&1 ||
    { grep -E 'warning:|error:' build/clang-tidy.log; exit 1; }
flake8 tests/cli_docs.py tools/devsim tests/devsim tools/netlab tests/net/junk-flood.py ansible
scripts/layers.sh
