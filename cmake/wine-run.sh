#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows program under wine as ctest's emulator for the windows preset: its output and exit
# status as usual, wine's crash report counted as a failure (a crash may still exit 0 or 1).
# WINEPREFIX: the prefix (made on first use, set to Windows 10); each network namespace needs its own.
# wine's helper processes outlive the program and keep inherited descriptors open, so the output goes
# to files, never through a pipe, and the wineserver is stopped at the end.
set -u
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/fernwick-wine-$(id -u)}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
if [ ! -f "$WINEPREFIX/.fernwick-win10" ]; then
    wine winecfg -v win10 >/dev/null 2>&1 </dev/null && touch "$WINEPREFIX/.fernwick-win10"
fi
wine "$@" >"$out" 2>"$err" </dev/null
status=$?
wineserver -k 2>/dev/null
cat "$out"
cat "$err" >&2
if grep -q -e 'Unhandled exception' -e 'Unhandled page fault' -e '^Backtrace:' "$out" "$err"; then
    echo "wine-run: the program crashed" >&2
    exit 1
fi
exit $status
