#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages (fernwick, fernwick-devsim), checks them with lintian, installs them on
# this machine, checks the installed desktop file, metainfo, manual pages and bash completion, and
# runs the installed program offscreen in a namespace lab: its first search request must reach a
# simulated device, and the device's reply must go back. Needs root (apt-get, network namespaces);
# expects `cmake --preset default`.
#   scripts/package-test.sh [--keep]   (--keep leaves the packages installed)
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
keep=0
[[ "${1:-}" == --keep ]] && keep=1
if [[ $EUID -ne 0 ]]; then
    echo "scripts/package-test.sh: needs root (installs the package, builds network namespaces)" >&2
    exit 77
fi
say() { echo "package-test: $*"; }
fail() {
    echo "package-test: FAIL: $*" >&2
    exit 1
}

scripts/deps.sh # lintian, scdoc, appstream, desktop-file-utils, bash-completion among them
cmake --preset default >/dev/null # picks up scdoc if deps.sh just installed it
cmake --build --preset default -j2
rm -f build/default/fernwick*.deb
(cd build/default && cpack -G DEB >/dev/null)
deb="$(ls build/default/fernwick_*_amd64.deb)"
simdeb="$(ls build/default/fernwick-devsim_*_all.deb)"
say "built $deb $simdeb"

# What the packages hold and need.
has() {
    local contents
    contents="$(dpkg-deb --contents "$1")"
    shift
    for f in "$@"; do
        grep -q " \./$f\$" <<<"$contents" || fail "$f is not in the package"
    done
}
has "$deb" usr/bin/fernwick usr/bin/fernwick-cli usr/share/applications/fernwick.desktop \
    usr/share/icons/hicolor/scalable/apps/fernwick.svg usr/share/metainfo/org.example.fernwick.metainfo.xml \
    usr/share/man/man1/fernwick.1.gz usr/share/man/man1/fernwick-cli.1.gz \
    usr/share/bash-completion/completions/fernwick-cli usr/share/zsh/vendor-completions/_fernwick-cli \
    usr/share/doc/fernwick/copyright usr/share/doc/fernwick/changelog.gz usr/share/doc/fernwick/THIRD-PARTY \
    lib/systemd/system/fernwick-watch.service etc/default/fernwick-watch \
    usr/share/doc/fernwick/prometheus/fernwick-rules.yml usr/share/doc/fernwick/prometheus/fernwick-rules.test.yml \
    usr/share/doc/fernwick/prometheus/prometheus-scrape.yml
has "$simdeb" usr/bin/fernwick-devsim usr/libexec/fernwick/lossy-relay \
    usr/share/fernwick/devsim/fernwick_devsim/sim.py usr/share/man/man1/fernwick-devsim.1.gz \
    usr/share/doc/fernwick-devsim/copyright usr/share/doc/fernwick-devsim/changelog.gz
# The service's options are the admin's: dpkg keeps their edits across upgrades.
[[ "$(dpkg-deb --info "$deb" conffiles 2>/dev/null)" == /etc/default/fernwick-watch ]] ||
    fail "/etc/default/fernwick-watch is not the package's one conffile"
depends="$(dpkg-deb --field "$deb" Depends)"
say "Depends: $depends"
for d in libqt6widgets6 libqt6svg6 libqt6gui6 libqt6core6 ieee-data; do
    grep -q "\b$d\b" <<<"$depends" || fail "Depends lacks $d"
done
grep -q python3 <<<"$depends" && fail "fernwick depends on python3; only the simulator needs it"
simdepends="$(dpkg-deb --field "$simdeb" Depends)"
for d in python3 iproute2; do
    grep -q "\b$d\b" <<<"$simdepends" || fail "fernwick-devsim's Depends lacks $d"
done

# Debian's checks: no error and no warning; informational tags are shown. The programs carry every
# hardening feature (cmake/Hardening.cmake), so a hardening-* tag of any level fails too.
tags="$(lintian --fail-on none --display-info --pedantic "$deb" "$simdeb" 2>/dev/null)" ||
    fail "lintian did not run"
[[ -z "$tags" ]] || echo "$tags"
grep -q '^[EW]: ' <<<"$tags" && fail "lintian found errors or warnings"
grep -q '^.: [^ ]*: hardening-' <<<"$tags" && fail "lintian: the programs lack hardening"
say "lintian: no errors, no warnings, no hardening-* tags"

netlab=(python3 "$repo/tools/netlab/netlab.py")
lab="$("${netlab[@]}" new-name)"
work="$(mktemp -d "/tmp/$lab.XXXX")"
cleanup() {
    trap - EXIT INT TERM
    "${netlab[@]}" down "$lab" || true
    rm -rf "$work"
    if [[ $keep -eq 0 ]]; then
        apt-get purge -y fernwick fernwick-devsim >/dev/null 2>&1 || true
    fi
}
trap cleanup EXIT INT TERM
apt-get install -y --no-install-recommends "$repo/$deb" "$repo/$simdeb" >/dev/null
[[ -x /usr/bin/fernwick && -x /usr/bin/fernwick-cli && -x /usr/bin/fernwick-devsim ]] ||
    fail "installed programs missing"
say "installed"

desktop-file-validate /usr/share/applications/fernwick.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.example.fernwick.metainfo.xml >/dev/null ||
    fail "appstreamcli validate: $(appstreamcli validate --no-net /usr/share/metainfo/*fernwick*.xml)"
for page in fernwick fernwick-cli fernwick-devsim; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
    [[ -z "$warnings" ]] || fail "man -l $page: $warnings"
    MANPAGER=cat man "$page" 2>/dev/null | grep -q "^NAME" || fail "man $page shows nothing"
done
say "desktop file, metainfo and manual pages pass"
# The unit as systemd reads it: its directives, the program it starts and its manual page.
unit_problems="$(systemd-analyze verify /lib/systemd/system/fernwick-watch.service 2>&1)" ||
    fail "systemd-analyze verify fernwick-watch.service: $unit_problems"
say "fernwick-watch.service passes systemd-analyze verify"

# Completion as an interactive bash loads it: bash-completion finds the file by the command's name.
completed="$(bash --norc -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion fernwick-cli && complete -p fernwick-cli >&2 || exit 1
    for line in "fernwick-cli ?" "fernwick-cli search --format ?" "fernwick-cli search -i ?"; do
        read -ra COMP_WORDS <<<"${line%\?}"
        COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _fernwick_cli
        echo "${COMPREPLY[*]}"
    done')" || fail "bash has no completion for fernwick-cli"
expected="search set-ip upgrade doctor watch inventory help
table json csv
$(ls /sys/class/net | tr '\n' ' ' | sed 's/ $//')"
[[ "$completed" == "$expected" ]] || fail "completion gave: $completed"
say "bash completes fernwick-cli's commands, formats and adapters"

"${netlab[@]}" up "$lab" >/dev/null
"${netlab[@]}" host "$lab" dev --segment a --addr 10.77.1.10/24

ip netns exec "$lab-dev" /usr/bin/fernwick-devsim \
    --device 'name=Package AP,mac=00:0A:1B:2C:3D:4E,essid=pkg,channel=6,kind=AP' \
    --log "$work/devsim.log" >"$work/devsim.out" 2>&1 &
for _ in $(seq 100); do
    grep -q '"ready"' "$work/devsim.out" 2>/dev/null && break
    sleep 0.1
done
grep -q '"ready"' "$work/devsim.out" || fail "the installed simulator did not start: $(cat "$work/devsim.out")"

mkdir -m 700 "$work/runtime"
start=$(date +%s.%N)
ip netns exec "$lab-ws" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" HOME="$work" \
    /usr/bin/fernwick >"$work/fernwick.out" 2>&1 &
for _ in $(seq 100); do
    grep -q '"kind": "discovery"' "$work/devsim.log" 2>/dev/null && break
    sleep 0.1
done
grep -q '"event": "rx".*"kind": "discovery"' "$work/devsim.log" ||
    fail "no search request reached the device; fernwick said: $(cat "$work/fernwick.out")"
grep -q '"kind": "discovery-reply"' "$work/devsim.log" || fail "the device did not answer"
say "the installed fernwick's first search request reached the simulated device after" \
    "$(python3 -c "print(f'{$(date +%s.%N) - $start:.2f}')") s and was answered"
say "PASS"
