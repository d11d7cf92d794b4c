#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an #include runs from a lower layer up, when the folders' includes make a cycle, or when
# a system's backend is reached from outside the platform layer. The layers, lowest first:
#   cores      src/common, src/*/core          pure: only common/ and */core/ headers, no Qt
#   platform   src/platform, src/doctor        host facts and I/O behind plain interfaces; only
#                                              src/platform includes its linux/ and windows/ backends
#   engine     src/engine                      Asio, no Qt
#   front ends src/guilink (windows <-> engine, no toolkit but GuiPost.h's Qt queue), then the windows
#              in src/discovery, src/setip, src/upgrade, src/ipcontrol, then src/app (Qt Widgets);
#              src/win32 (the Win32 views, which may use the Windows backend); src/cli (no toolkit).
#              They reach the host through platform/Host.h; only the programs' main() builds the
#              system's one. A window's logic lives in its core/ and includes neither toolkit.
# Lists every offending line as FILE:LINE:TEXT (or the folders of a cycle) and exits 1 when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

windows='"(app/|guilink/|win32/|(discovery|setip|upgrade|ipcontrol)/(?!core/))'
qt='<Q[A-Za-z]*(/|>)'
win='<(windows|windowsx|commctrl|commdlg|shellapi|shlobj|uxtheme|winsock2|ws2tcpip|iphlpapi)\.h>'
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

check "a core includes from above the cores or a toolkit" '^src/(common|[a-z]+/core)/' \
    "\"(?!common/|[a-z]+/core/)[^\"]*/|$qt|$win"
check "the platform layer includes the engine, a window or the CLI" '^src/(platform|doctor/(?!core/))' \
    "\"(engine|cli)/|$windows"
check "the engine includes Qt, a window or the CLI" '^src/engine/' "$qt|\"cli/|$windows"
check "the CLI includes Qt or a window" '^src/cli/' "$qt|$windows"
check "the link to the engine includes a toolkit" '^src/guilink/(?!GuiPost\.h$)' "$qt|$win"
check "a Win32 view includes Qt" '^src/win32/' "$qt"
check "a Qt view includes the Win32 API" '^src/(app|discovery|setip|upgrade|ipcontrol)/' "$win|\"win32/"
check "something besides the Win32 views includes them" '^(src/(?!win32/)|tools/|bench/|tests/support/)' '"win32/'
check "a window includes the main window's folder" '^src/(guilink|(discovery|setip|upgrade|ipcontrol)/(?!core/))' \
    '"app/'
# Tests of a backend itself (tests/unit, tests/net, tests/windows) may reach it; shared test support may not.
check "a backend is included from outside src/platform" '^(src/(?!platform/|win32/)|tools/|bench/|fuzz/|tests/support/)' \
    '"platform/(linux|windows)/'
check "the system's host is built outside the programs' main()" '^src/(?!platform/|app/main\.cpp$|cli/main\.cpp$|win32/main\.cpp$)' \
    '"platform/SystemHost\.h"'

# Folder cycles: each file's folder (src/X, or src/X/core for a core) to the folders it includes.
# tsort names the folders of a cycle.
# shellcheck disable=SC2016 # the quoted text is a Perl program
edges=$(git ls-files 'src/*.h' 'src/*.cpp' | xargs perl -ne '
    sub folder { my $p = shift; $p =~ m{^([a-z]+)(/core)?/} ? $1 . ($2 // "") : undef }
    if (/^\s*#\s*include\s*"([a-z]+\/[^"]+)"/) {
        my $to = folder($1);
        (my $from = $ARGV) =~ s{^src/}{};
        my ($f, $t) = (folder($from), $to);
        print "$f $t\n" if defined $f && defined $t && $f ne $t;
    }' | sort -u)
if ! loops=$(tsort <<<"$edges" 2>&1 >/dev/null) || [[ -n "$loops" ]]; then
    printf 'the folders include each other in a cycle:\n%s\n' "$(sed -e 's/^tsort: -: input contains a loop:/  one:/' -e 's/^tsort: /    /' <<<"$loops")"
    found=1
fi
exit "$found"
