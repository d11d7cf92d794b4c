#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# fernwick-cli.exe and fernwick.exe: cross-builds the windows preset (mingw-w64), runs its unit
# tests under wine from ctest, runs fernwick-cli.exe under wine in the lab (tests/net/WindowsNetTest.cpp)
# and drives fernwick.exe there (tests/net/WindowsGuiNetTest.cpp; both root, with the default build
# for the test binaries), packs fernwick-cli-VERSION-windows-x64.zip and builds
# fernwick-VERSION-x64.msi, which scripts/windows-msi-test.sh installs, upgrades and removes under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset windows
cmake --build --preset windows
# One wine prefix per network namespace: this one for the host's, made on first use (about 7 s).
WINEPREFIX="$PWD/build/windows/wine-host" ctest --preset windows
cmake --build --preset windows --target windows-zip windows-msi
cmake --preset default >/dev/null
cmake --build --preset default --target test_windows_net test_windows_gui
FERNWICK_WINDOWS_CLI="$PWD/build/windows/src/cli/fernwick-cli.exe" \
    FERNWICK_WINEPREFIX="$PWD/build/windows/wine-lab" \
    ctest --preset default -R '^test_windows_net$' --no-tests=error | tee build/windows/lab-test.log
# The window, driven in the lab on an Xvfb display, with a prefix of its own; its exports are
# compared with fernwick-cli.exe's output there.
gui="$PWD/build/windows/src/win32/fernwick.exe"
FERNWICK_WINDOWS_GUI="$gui" FERNWICK_WINDOWS_CLI="$PWD/build/windows/src/cli/fernwick-cli.exe" \
    FERNWICK_WINDOWS_DRIVER="$PWD/build/windows/tools/windrive/fwdrive.exe" \
    FERNWICK_WINEPREFIX="$PWD/build/windows/wine-gui" \
    ctest --preset default -R '^test_windows_gui$' --no-tests=error | tee -a build/windows/lab-test.log
# This script is run to prove the lab cases: skipped (not root, no .exe) is not good enough, once
# the window is built.
if grep -q 'test_windows_net .*Skipped' build/windows/lab-test.log ||
    { [[ -f "$gui" ]] && grep -q 'test_windows_gui .*Skipped' build/windows/lab-test.log; }; then
    echo "windows-test: a lab test was skipped" >&2
    exit 1
fi
zip="$(ls build/windows/fernwick-cli-*-windows-x64.zip)"
# The notices of what is linked in, and the licence texts they name, travel with the program.
# Listed once: grep -q ending the pipe early would fail a listing still being written (pipefail).
entries="$(cmake -E tar tf "$zip")"
for entry in fernwick-cli.exe fernwick-firewall.ps1 LICENSE.txt README.txt THIRD-PARTY.txt; do
    grep -q "/$entry\$" <<<"$entries" || { echo "windows-test: $zip lacks $entry" >&2; exit 1; }
done
for name in libgcrypt20 libgpg-error cli11 nlohmann-json3 asio gcc-mingw-w64 mingw-w64 common-licenses/LGPL-2.1; do
    grep -q "$name" build/windows/package/THIRD-PARTY.txt || { echo "windows-test: THIRD-PARTY.txt lacks $name" >&2; exit 1; }
done
scripts/windows-msi-test.sh
ls -l "$zip" build/windows/fernwick-*-x64.msi
