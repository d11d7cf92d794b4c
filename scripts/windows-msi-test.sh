#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The MSI under wine, in a throwaway prefix: a silent install puts every file of the package in
# Program Files\Fernwick, the shortcut in the all-users Start menu and the program's icon in Add or
# Remove Programs; a rebuild of the same version replaces it (one product installed, the rebuild's);
# a newer build of the same .wxs replaces that (one product installed, the newer version, files
# still there); the older one then refuses to install over it; a silent removal leaves nothing of
# ours. Installing runs no program of ours, so
# this needs no network namespace. Run by scripts/windows-test.sh after the windows-msi target.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$PWD/build/windows"
msi="$(ls "$build"/fernwick-*-x64.msi)"
version="${msi##*/fernwick-}"
version="${version%-x64.msi}"
IFS=. read -r major minor patch <<<"$version"
newer_version="$major.$minor.$((patch + 1))"
work="$(mktemp -d "${TMPDIR:-/tmp}/fernwick-msi.XXXXXX")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

fail() {
    echo "windows-msi-test: $*" >&2
    exit 1
}
# msiexec's status; its log goes to a file, wine's helpers must not hold a pipe of ours. The
# wineserver is waited for, so that system.reg holds what the installer registered.
msiexec() {
    local status=0
    wine msiexec "$@" /qn /l "C:\\msi.log" >"$work/wine.out" 2>&1 </dev/null || status=$?
    wineserver -w
    return $status
}
# The DisplayVersion of every product named Fernwick in Add or Remove Programs (the Uninstall key),
# or with `codes` its ProductCode.
installed_versions() {
    awk -F'"' -v codes="${1:-}" 'function done() { if (ours) print codes ? code : version }
        /^\[/ { done(); uninstall = /\\\\Uninstall\\\\\{/; ours = 0; version = ""; code = $0; sub(/.*\\/, "", code); sub(/\].*/, "", code) }
        uninstall && $2 == "DisplayName" && $4 == "Fernwick" { ours = 1 }
        uninstall && $2 == "DisplayVersion" { version = $4 }
        END { done() }' "$WINEPREFIX/system.reg"
}

wxs="$build/msi/fernwick.wxs"
mapfile -t files < <(sed -n 's/.*<File Id="[^"]*" Name="\([^"]*\)".*/\1/p' "$wxs")
for required in fernwick-cli.exe fernwick-firewall.ps1 LICENSE.txt README.txt THIRD-PARTY.txt; do
    [[ " ${files[*]} " == *" $required "* ]] || fail "the package lacks $required"
done
if [[ " ${files[*]} " == *" fernwick.exe "* ]]; then shortcut="Fernwick.lnk"; else shortcut="Fernwick README.lnk"; fi
(cd "$build/package" && wixl --arch x64 --define ProductVersion="$newer_version" --output "$work/newer.msi" "$wxs" &&
    wixl --arch x64 --define ProductVersion="$version" --output "$work/rebuild.msi" "$wxs")
install_dir="$WINEPREFIX/drive_c/Program Files/Fernwick"
# A per-machine install's shortcut is every user's: in ProgramData's Start menu, not the installer's.
all_users_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
find_shortcut() {
    find "$WINEPREFIX/drive_c" -path "*/Start Menu/Programs/$shortcut"
}

msiexec /i "$msi" || fail "installing $msi failed"
for file in "${files[@]}"; do
    cmp -s "$build/package/$file" "$install_dir/$file" || fail "$file is not installed as packed"
done
[[ "$(find_shortcut)" == "$all_users_menu/$shortcut" ]] ||
    fail "the shortcut $shortcut is not (only) in the all-users Start menu: $(find_shortcut)"
target="${shortcut%.lnk}"
[[ "$target" == Fernwick ]] && target=fernwick.exe || target=README.txt
grep -aq "$target" "$(find_shortcut)" || fail "the shortcut $shortcut does not open $target"
[[ "$(installed_versions)" == "$version" ]] || fail "installed: $(installed_versions), not $version"
# The icon Add or Remove Programs shows is the program's, kept by Windows Installer.
if [[ " ${files[*]} " == *" fernwick.exe "* ]]; then
    icon="$(sed -n 's/^"ProductIcon"="C:\\\\\(.*\)"$/\1/p' "$WINEPREFIX/system.reg" | sed 's/\\\\/\//g')"
    cmp -s "$build/src/win32/resources/fernwick.ico" "$WINEPREFIX/drive_c/$icon" ||
        fail "Add or Remove Programs has no icon of ours (ProductIcon: ${icon:-none})"
fi

first_code="$(installed_versions codes)"
msiexec /i "$work/rebuild.msi" || fail "installing a rebuild of $version over it failed"
[[ "$(installed_versions)" == "$version" ]] || fail "after the rebuild: installed $(installed_versions)"
[[ "$(installed_versions codes)" != "$first_code" ]] || fail "the rebuild did not replace the first build"
for file in "${files[@]}"; do
    cmp -s "$build/package/$file" "$install_dir/$file" || fail "$file is not the rebuild's"
done
[[ "$(find_shortcut)" == "$all_users_menu/$shortcut" ]] || fail "the rebuild's shortcut: $(find_shortcut)"

msiexec /i "$work/newer.msi" || fail "installing $newer_version over $version failed"
[[ "$(installed_versions)" == "$newer_version" ]] || fail "after the upgrade: $(installed_versions)"
for file in "${files[@]}"; do
    [[ -f "$install_dir/$file" ]] || fail "$file is gone after the upgrade"
done
if msiexec /i "$msi"; then fail "$version installed over $newer_version"; fi
[[ "$(installed_versions)" == "$newer_version" ]] || fail "after the refused downgrade: $(installed_versions)"

msiexec /x "$work/newer.msi" || fail "removing $newer_version failed"
[[ ! -e "$install_dir" ]] || fail "left behind: $(ls -A "$install_dir")"
[[ -z "$(find_shortcut)" ]] || fail "the shortcut is left behind"
[[ -z "$(installed_versions)" ]] || fail "still registered: $(installed_versions)"
echo "windows-msi-test: $msi installs, is replaced by its rebuild, upgrades to $newer_version, refuses a downgrade and is removed under wine"
