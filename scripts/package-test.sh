#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, and runs the installed program offscreen
# in a namespace lab: its first search request must reach a simulated device, and the device's
# reply must go back. Needs root (apt-get, network namespaces); expects `cmake --preset default`.
#   scripts/package-test.sh [--keep]   (--keep leaves the package installed)
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

cmake --build --preset default -j2
rm -f build/default/fernwick_*.deb
(cd build/default && cpack -G DEB >/dev/null)
deb="$(ls build/default/fernwick_*.deb)"
say "built $deb"

# What the package holds and needs.
contents="$(dpkg-deb --contents "$deb")"
for f in ./usr/bin/fernwick ./usr/bin/fernwick-devsim ./usr/libexec/fernwick/lossy-relay \
    ./usr/share/applications/fernwick.desktop ./usr/share/icons/hicolor/scalable/apps/fernwick.svg \
    ./usr/share/fernwick/devsim/fernwick_devsim/sim.py; do
    grep -q " $f\$" <<<"$contents" || fail "$f is not in the package"
done
depends="$(dpkg-deb --field "$deb" Depends)"
say "Depends: $depends"
for d in libqt6widgets6 libqt6svg6 libqt6gui6 libqt6core6 python3; do
    grep -q "\b$d\b" <<<"$depends" || fail "Depends lacks $d"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate src/app/resources/fernwick.desktop; fi

apt-get install -y --no-install-recommends "$repo/$deb" >/dev/null
[[ -x /usr/bin/fernwick && -x /usr/bin/fernwick-devsim ]] || fail "installed programs missing"
say "installed"

netlab=(python3 "$repo/tests/fixtures/netlab.py")
lab="$("${netlab[@]}" new-name)"
work="$(mktemp -d "/tmp/$lab.XXXX")"
cleanup() {
    trap - EXIT INT TERM
    "${netlab[@]}" down "$lab" || true
    rm -rf "$work"
    if [[ $keep -eq 0 ]]; then
        apt-get remove -y fernwick >/dev/null 2>&1 || true
    fi
}
trap cleanup EXIT INT TERM
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
