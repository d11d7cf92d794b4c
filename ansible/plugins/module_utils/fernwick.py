# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
# Running fernwick-cli on the managed host and reading its JSON, shared by the modules.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

# Options every module takes (the program and the adapters to use).
COMMON_ARGS = dict(
    fernwick_cli=dict(type='str', default='fernwick-cli'),
    interfaces=dict(type='list', elements='str', default=[]),
)


def normal_mac(text):
    """00:0a:1b:2c:3d:4e and 00-0A-1B-2C-3D-4E name one device; the program writes the second."""
    return text.strip().upper().replace(':', '-')


def cli_path(module):
    name = module.params['fernwick_cli']
    if '/' in name:
        return name
    return module.get_bin_path(name, required=True)


def interface_args(module):
    args = []
    for name in module.params['interfaces']:
        args += ['--interface', name]
    return args


def run(module, args):
    """Runs the program; returns (status, stdout, stderr). Status 2 and above is left to the caller."""
    return module.run_command([cli_path(module)] + args)


def fail(module, what, rc, out, err, **result):
    module.fail_json(msg='fernwick-cli %s failed (exit %d): %s' % (what, rc, err.strip() or out.strip()),
                     rc=rc, stdout=out, stderr=err, **result)


def search(module, timeout=None):
    """The devices that answered, as search --format json lists them; none is not an error."""
    args = ['search', '--format', 'json'] + interface_args(module)
    if timeout is not None:
        args += ['--timeout', str(timeout)]
    rc, out, err = run(module, args)
    if rc not in (0, 1):
        fail(module, 'search', rc, out, err)
    try:
        return json.loads(out) if out.strip() else []
    except ValueError as e:
        fail(module, 'search', rc, out, 'unreadable JSON: %s' % e)
