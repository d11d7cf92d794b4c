#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an #include runs from a lower layer up. The layers, lowest first:
#   cores      src/common, src/*/core          pure: only common/ and */core/ headers, no Qt
#   platform   src/platform, src/doctor        host facts and I/O behind plain interfaces
#   engine     src/engine                      Asio, no Qt
#   front ends src/app and the other folders' windows (Qt Widgets); src/cli (no Qt)
# Lists every offending line as FILE:LINE:TEXT and exits 1 when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

windows='"(app/|(discovery|setip|upgrade|ipcontrol)/(?!core/))'
qt='<Q[A-Za-z]*(/|>)'
found=0

# check WHAT FILE-PATTERN INCLUDE-PATTERN (both Perl regular expressions)
check() {
    local what="$1" files="$2" includes="$3" hits
    mapfile -t list < <(git ls-files '*.h' '*.cpp' | grep -P "$files" || true)
    [[ ${#list[@]} -gt 0 ]] || return 0
    hits=$(grep -HnP "^\s*#\s*include\s*($includes)" "${list[@]}" | sed 's/^/  /' || true)
    if [[ -n "$hits" ]]; then
        printf '%s:\n%s\n' "$what" "$hits"
        found=1
    fi
}

check "a core includes from above the cores" '^src/(common|[a-z]+/core)/' \
    "\"(?!common/|[a-z]+/core/)[^\"]*/|$qt"
check "the platform layer includes the engine, a window or the CLI" '^src/(platform|doctor/(?!core/))' \
    "\"(engine|cli)/|$windows"
check "the engine includes Qt, a window or the CLI" '^src/engine/' "$qt|\"cli/|$windows"
check "the CLI includes Qt or a window" '^src/cli/' "$qt|$windows"
exit "$found"
