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

# Where the commands that search look beyond the broadcast (--target, --targets-from).
TARGET_ARGS = dict(
    targets=dict(type='list', elements='str', default=[]),
    targets_from=dict(type='path'),
)

# The program's JSON calls a bridge's kind "adapter"; the collection calls it "bridge" everywhere,
# as the upgrade's all=bridge and the program's --all-bridge do.
KIND_NAMES = {'adapter': 'bridge'}


def normal_mac(text):
    """00:0a:1b:2c:3d:4e and 00-0A-1B-2C-3D-4E name one device; the program writes the second."""
    return text.strip().upper().replace(':', '-')


def device_kind(device):
    kind = device.get('kind')
    return KIND_NAMES.get(kind, kind)


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


def target_args(module):
    args = []
    for target in module.params.get('targets') or []:
        args += ['--target', target]
    if module.params.get('targets_from'):
        args += ['--targets-from', module.params['targets_from']]
    return args


def run(module, args):
    """Runs the program; returns (status, stdout, stderr). Status 2 and above is left to the caller."""
    return module.run_command([cli_path(module)] + args)


def fail(module, what, rc, out, err, **result):
    module.fail_json(msg='fernwick-cli %s failed (exit %d): %s' % (what, rc, err.strip() or out.strip()),
                     rc=rc, stdout=out, stderr=err, **result)


def read_json(module, what, rc, out, err):
    try:
        return json.loads(out)
    except ValueError as e:
        fail(module, what, rc, out, 'unreadable JSON (%s); %s' % (e, err.strip()))


def search(module, timeout=None):
    """The devices that answered, as search --format json lists them (kinds named as above); none is
    not an error. With port 4001 held on one adapter the program still lists what the others found:
    those are kept, with a warning."""
    args = ['search', '--format', 'json'] + interface_args(module) + target_args(module)
    if timeout is not None:
        args += ['--timeout', str(timeout)]
    rc, out, err = run(module, args)
    if rc not in (0, 1) and not out.strip():
        fail(module, 'search', rc, out, err)
    devices = read_json(module, 'search', rc, out, err) if out.strip() else []
    if rc not in (0, 1):
        module.warn('fernwick-cli search (exit %d): %s' % (rc, err.strip()))
    for d in devices:
        d['kind'] = device_kind(d)
    return devices
