#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence identifier on the first comment line (after a #!, #compdef or scdoc title line) of every
# source file of ours that lacks it; running it again changes nothing.
#   scripts/spdx.sh [--check] [FILE...]
# Without FILEs: every file git knows in the tree (tracked or new, not ignored). --check changes
# nothing, lists the files without the line and exits 1 when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
tag="SPDX-License-Identifier: GPL-3.0-or-later"
check=0
if [[ "${1:-}" == --check ]]; then
    check=1
    shift
fi

# The comment leader for a file, or nothing when the file is not source of ours.
leader() {
    local f="$1"
    case "$f" in
    LICENSE | */LICENSE | */corpus/*) return ;; # fuzzer inputs are data, whatever they start with
    *.cpp | *.h | *.hpp | *.cc) echo "//" ;;
    *.py | *.sh | *.cmake | */CMakeLists.txt | CMakeLists.txt | *.bash | *.zsh) echo "#" ;;
    *.scd) echo ";" ;;
    *)
        # Programs without an extension (the simulator, the demo, CI, completions): by their first line.
        local first
        first="$(head -n 1 "$f")"
        if [[ "$first" == "#!"* || "$first" == "#compdef "* ]]; then echo "#"; fi
        ;;
    esac
}

if (($# == 0)); then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard)
else
    files=("$@")
fi

missing=()
for f in "${files[@]}"; do
    [[ -f "$f" && ! -L "$f" ]] || continue
    grep -Iq . "$f" 2>/dev/null || continue # binary or empty
    lead="$(leader "$f")"
    [[ -n "$lead" ]] || continue
    [[ "$(head -n 3 "$f")" == *"$tag"* ]] && continue
    missing+=("$f")
    ((check)) && continue
    first="$(head -n 1 "$f")"
    # scdoc wants its title line first; a shell or zsh needs its #! or #compdef line first.
    if [[ "$f" == *.scd || "$first" == "#!"* || "$first" == "#compdef "* ]]; then
        sed -i "1a $lead $tag" "$f"
    else
        sed -i "1i $lead $tag" "$f"
    fi
done

if ((check)); then
    if ((${#missing[@]})); then
        printf '%s\n' "${missing[@]}"
        echo "spdx.sh: ${#missing[@]} file(s) without '$tag'" >&2
        exit 1
    fi
elif ((${#missing[@]})); then
    echo "spdx.sh: added the identifier to ${#missing[@]} file(s)" >&2
fi
