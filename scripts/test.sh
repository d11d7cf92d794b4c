#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the build needs, builds everything and runs every test (unit, gui, net).
# Net tests build network namespaces and need root; run this with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $EUID -ne 0 ]]; then
    echo "scripts/test.sh: run as root (sudo): it installs packages and the net tests build network namespaces" >&2
    exit 2
fi
scripts/deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default --parallel 2
