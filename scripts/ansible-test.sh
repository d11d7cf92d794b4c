#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# ansible-test sanity for the Ansible collection in ansible/, offline: every test that needs no
# virtual environment of its own (those pip-install pinned tools from the network). Of those,
# validate-modules (documentation against argument specs) and yamllint (the YAML files and the
# plugins' documentation) run directly, with Debian's voluptuous and yamllint, and ansible-doc parses
# each plugin's DOCUMENTATION, EXAMPLES and RETURN; the collection must build.
# The Python lines are flake8-checked by scripts/lint.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" ANSIBLE_HOME="$tmp/home/.ansible"  # ansible-test keeps its cache under HOME
collection="$tmp/ansible_collections/fernwick/lan"
mkdir -p "$HOME" "$(dirname "$collection")"
cp -r ansible "$collection"
version="$(sed -n 's/^version: //p' ansible/galaxy.yml)"
python="$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
needs_venv=(ansible-doc import pep8 pylint runtime-metadata validate-modules yamllint)
(cd "$collection" && ansible-test sanity --local --python "$python" --color no "${needs_venv[@]/#/--skip-test=}")
vm=/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/validate-modules
validate() {
    (cd "$collection" && ANSIBLE_COLLECTIONS_PATH="$tmp" PYTHONPATH="$vm" /usr/bin/python3 "$vm/validate.py" \
        --format plain --arg-spec --collection ansible_collections/fernwick/lan --collection-version "$version" "$@")
}
validate plugins/modules/*.py
validate --plugin-type inventory plugins/inventory/*.py
yamllinter=/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/yamllint/yamllinter.py
(cd "$collection" && { find . -name '*.yml' -printf '%P\n'; ls plugins/{modules,inventory}/*.py; } |
    /usr/bin/python3 "$yamllinter") > "$tmp/yamllint.json"
/usr/bin/python3 -c 'import json, sys
m = json.load(open(sys.argv[1]))["messages"]
print("".join("%(path)s:%(line)s:%(column)s: %(message)s\n" % e for e in m), end="")
sys.exit(1 if m else 0)' "$tmp/yamllint.json"
for plugin in module:search module:set_ip module:upgrade module:doctor inventory:devices; do
    ANSIBLE_COLLECTIONS_PATH="$tmp" ansible-doc -t "${plugin%%:*}" "fernwick.lan.${plugin#*:}" > /dev/null
done
ansible-galaxy collection build "$collection" --output-path "$tmp/dist" > /dev/null
echo "ansible-test sanity: passed; validate-modules, yamllint and ansible-doc passed (not run: import pep8 pylint runtime-metadata)"
