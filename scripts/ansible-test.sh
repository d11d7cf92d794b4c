#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# ansible-test sanity for the Ansible collection in ansible/, offline: every test that needs no
# virtual environment of its own (those pip-install pinned tools from the network). Of those,
# validate-modules (documentation against argument specs) and yamllint (the YAML files and the
# plugins' documentation) run directly, with Debian's voluptuous and yamllint, and ansible-doc parses
# each plugin's DOCUMENTATION, EXAMPLES and RETURN; the collection must build.
# Then the checks must catch faults put into copies of the collection: an undocumented module
# option, a default that differs from the documented one and a bad inventory option type.
# The Python lines are flake8-checked by scripts/lint.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" ANSIBLE_HOME="$tmp/home/.ansible"  # ansible-test keeps its cache under HOME
mkdir -p "$HOME"
version="$(sed -n 's/^version: //p' ansible/galaxy.yml)"
python="$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
needs_venv=(ansible-doc import pep8 pylint runtime-metadata validate-modules yamllint)
vm=/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/validate-modules
yamllinter=/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/yamllint/yamllinter.py

# A copy of the collection under ROOT/ansible_collections/fernwick/lan.
copy() {
    mkdir -p "$1/ansible_collections/fernwick"
    cp -r ansible "$1/ansible_collections/fernwick/lan"
}

# validate-modules over the plugins of one type, run where they are; it fails when none is found,
# so that a check that looks in the wrong place cannot pass.
validate() {
    local root="$1" type="$2" files kind=()
    [[ "$type" == modules ]] || kind=(--plugin-type "${type%s}")
    (cd "$root/ansible_collections/fernwick/lan" && files=(plugins/"$type"/*.py) &&
        [[ -f "${files[0]}" ]] || { echo "validate-modules: no plugin in plugins/$type" >&2; exit 1; } &&
        echo "validate-modules: ${#files[@]} $type: ${files[*]##*/}" &&
        ANSIBLE_COLLECTIONS_PATH="$root" PYTHONPATH="$vm" /usr/bin/python3 "$vm/validate.py" --format plain \
            --arg-spec --collection ansible_collections/fernwick/lan --collection-version "$version" \
            "${kind[@]}" "${files[@]}")
}

# Everything but ansible-test's own run, on the collection under ROOT. Each step returns on
# failure by itself: a function called in an if's condition runs without errexit.
checks() {
    local root="$1" collection="$1/ansible_collections/fernwick/lan"
    validate "$root" modules || return 1
    validate "$root" inventory || return 1
    (cd "$collection" && { find . -name '*.yml' -printf '%P\n'; ls plugins/{modules,inventory}/*.py; } |
        /usr/bin/python3 "$yamllinter") > "$root/yamllint.json" || return 1
    /usr/bin/python3 -c 'import json, sys
m = json.load(open(sys.argv[1]))["messages"]
print("".join("%(path)s:%(line)s:%(column)s: %(message)s\n" % e for e in m), end="")
sys.exit(1 if m else 0)' "$root/yamllint.json" || return 1
    for plugin in module:search module:set_ip module:upgrade module:doctor inventory:devices; do
        ANSIBLE_COLLECTIONS_PATH="$root" ansible-doc -t "${plugin%%:*}" "fernwick.lan.${plugin#*:}" > /dev/null ||
            return 1
    done
}

copy "$tmp/real"
(cd "$tmp/real/ansible_collections/fernwick/lan" &&
    ansible-test sanity --local --python "$python" --color no "${needs_venv[@]/#/--skip-test=}")
checks "$tmp/real"
ansible-galaxy collection build "$tmp/real/ansible_collections/fernwick/lan" --output-path "$tmp/dist" > /dev/null

# A fault put into a fresh copy (FILE, a text of it and what replaces it) must make the checks fail.
caught=0
fault() {
    local root="$tmp/fault-$((caught + 1))"
    copy "$root"
    FILE="$root/ansible_collections/fernwick/lan/$1" OLD="$2" NEW="$3" /usr/bin/python3 -c 'import os
path, old, new = os.environ["FILE"], os.environ["OLD"], os.environ["NEW"]
text = open(path).read()
assert old in text, "the fault cannot be put into %s: the text is gone" % path
open(path, "w").write(text.replace(old, new, 1))'
    if (checks "$root") > "$root.log" 2>&1; then
        cat "$root.log"
        echo "ansible-test.sh: not caught: $1: $2 -> $3" >&2
        exit 1
    fi
    caught=$((caught + 1))
    echo "caught: $1: $(grep -m1 -i 'error' "$root.log" || tail -n1 "$root.log")"
}
fault plugins/modules/search.py "timeout=dict(type='float', default=3)" \
    "timeout=dict(type='float', default=3), undocumented=dict(type='str')"
fault plugins/modules/doctor.py "timeout=dict(type='float', default=3)" "timeout=dict(type='float', default=4)"
fault plugins/inventory/devices.py $'    type: float\n    default: 3' $'    type: floating\n    default: 3'
echo "ansible-test sanity: passed; validate-modules, yamllint and ansible-doc passed and caught $caught faults" \
    "(not run: import pep8 pylint runtime-metadata)"
