#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# fernwick-cli for Windows: cross-builds the windows preset (mingw-w64), runs its unit tests under
# wine from ctest, runs fernwick-cli.exe under wine in the lab (tests/net/WindowsNetTest.cpp: root,
# and the default build for the test binary) and packs fernwick-cli-VERSION-windows-x64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset windows
cmake --build --preset windows
# One wine prefix per network namespace: this one for the host's, made on first use (about 7 s).
WINEPREFIX="$PWD/build/windows/wine-host" ctest --preset windows
cmake --build --preset windows --target windows-zip
cmake --preset default >/dev/null
cmake --build --preset default --target test_windows_net
FERNWICK_WINDOWS_CLI="$PWD/build/windows/src/cli/fernwick-cli.exe" \
    FERNWICK_WINEPREFIX="$PWD/build/windows/wine-lab" \
    ctest --preset default -R '^test_windows_net$' --no-tests=error
ls -l build/windows/fernwick-cli-*-windows-x64.zip
