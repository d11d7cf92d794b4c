#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an #include runs from a lower layer up, when the folders' includes make a cycle, or when
# a system's backend is reached from outside the platform layer. The layers, lowest first:
#   features   src/common, src/discovery, src/setip, src/upgrade, src/ipcontrol, src/netif, src/doctor,
#              src/app                     the pure cores and the windows' toolkit-free logic: only
#                                          common/ and the features' headers, no toolkit, no I/O
#   platform   src/platform                host facts and I/O behind plain interfaces, over common/
#                                          and netif/'s facts; only it includes its linux/ and
#                                          windows/ backends
#   engine     src/engine                  Asio, no Qt
#   guilink    src/guilink                 a window's logic <-> the engine, no toolkit
#   front ends src/qt (the Qt views), src/win32 (the Win32 views, which may use the Windows backend),
#              src/cli (no toolkit); none includes another. They reach the host through
#              platform/Host.h; only the programs' main() builds the system's one.
# Lists every offending line as FILE:LINE:TEXT (or the folders of a cycle) and exits 1 when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

features='(common|discovery|setip|upgrade|ipcontrol|netif|doctor|app)'
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

check "a feature includes from above the features or a toolkit" "^src/$features/" \
    "\"(?!$features/)[^\"]*/|$qt|$win"
check "the platform layer includes a feature, the engine, the link or a front end" '^src/platform/' \
    "\"(?!common/|netif/|platform/)[^\"]*/|$qt"
check "the engine includes Qt, the link or a front end" '^src/engine/' "$qt|\"(guilink|qt|win32|cli)/"
check "the link to the engine includes a toolkit or a front end" '^src/guilink/' "$qt|$win|\"(qt|win32|cli)/"
check "a feature or the link includes the main window's logic" '^src/(?!app/|qt/|win32/)[a-z0-9]+/' '"app/'
check "the CLI includes a toolkit, the link or a window" '^src/cli/' "$qt|$win|\"(guilink|qt|win32)/"
check "a Win32 view includes Qt" '^src/win32/' "$qt|\"qt/"
check "a Qt view includes the Win32 API" '^src/qt/' "$win|\"win32/"
check "something besides the Qt views includes them" '^src/(?!qt/)' '"qt/'
check "something besides the Win32 views includes them" '^(src/(?!win32/)|tools/|bench/|tests/support/)' '"win32/'
# Tests of a backend itself (tests/unit, tests/net, tests/windows) may reach it; shared test support may not.
check "a backend is included from outside src/platform" '^(src/(?!platform/|win32/)|tools/|bench/|fuzz/|tests/support/)' \
    '"platform/(linux|windows)/'
check "the system's host is built outside the programs' main()" '^src/(?!platform/|qt/main\.cpp$|cli/main\.cpp$|win32/main\.cpp$)' \
    '"platform/SystemHost\.h"'

# Folder cycles: each file's folder (src/X) to the folders it includes.
# tsort names the folders of a cycle.
# shellcheck disable=SC2016 # the quoted text is a Perl program
edges=$(git ls-files 'src/*.h' 'src/*.cpp' | xargs perl -ne '
    sub folder { my $p = shift; $p =~ m{^([a-z0-9]+)/} ? $1 : undef }
    if (/^\s*#\s*include\s*"([a-z0-9]+\/[^"]+)"/) {
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
