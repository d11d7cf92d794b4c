#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: set_ip
short_description: Give devices, named by their MAC addresses, a fixed address or DHCP
version_added: 2.3.0
description:
  - Gives one device (I(mac) with I(ip), I(mask) and I(gateway), or I(dhcp)) or every device of a
    I(plan) its address with C(fernwick-cli set-ip) on the managed host.
  - The rows go to one C(fernwick-cli set-ip --plan --format json) run, which searches first; a
    device that already answers from its planned address gets no request, so the task is
    C(changed) only when a request was sent.
  - A device is reached by a broadcast naming its MAC, so one on a foreign subnet is reached too.
options:
  mac:
    description: The device's MAC address (C(00-0A-1B-2C-3D-4E) or C(00:0a:1b:2c:3d:4e)).
    type: str
  ip:
    description: The new address, or C(dhcp).
    type: str
  mask:
    description: The new subnet mask (needed with a fixed I(ip)).
    type: str
  gateway:
    description: The new default gateway.
    type: str
    default: 0.0.0.0
  dhcp:
    description: Switch the device to DHCP (the same as I(ip=dhcp)).
    type: bool
    default: false
  plan:
    description:
      - Many devices, one row each, with the keys of the one-device form.
    type: list
    elements: dict
    suboptions:
      mac:
        description: The device's MAC address.
        type: str
        required: true
      ip:
        description: The new address, or C(dhcp).
        type: str
        required: true
      mask:
        description: The new subnet mask (needed with a fixed I(ip)).
        type: str
      gateway:
        description: The new default gateway.
        type: str
        default: 0.0.0.0
      label:
        description: A name for the row, shown in the results.
        type: str
  verify:
    description:
      - Refuse an address another device answers from, and after the device's OK search until it
        answers from the new address (C(set-ip --verify)).
    type: bool
    default: true
  force:
    description: With I(verify), set the address even though another device answers from it.
    type: bool
    default: false
  verify_timeout:
    description: Seconds a device has to come back from its new address.
    type: float
    default: 15
  timeout:
    description: Seconds to wait for an answer to each request, and for answers to the search of check mode.
    type: float
    default: 3
notes:
  - The search shows a device's address but not its mask, gateway or DHCP mode, so only the address
    is compared; a C(dhcp) row is always sent.
  - Requests on different adapters go side by side, one at a time on each. The task fails when a
    row ends neither C(done) nor C(unchanged) (a device not found, refusing, silent, not back, an
    address taken or this host's own), with every row and its I(state) in I(devices).
  - Check mode searches and says which devices would get a request; C(--diff) shows their old and
    new addresses.
extends_documentation_fragment:
  - fernwick.lan.common
author:
  - Fernwick developers (!UNKNOWN)
'''

EXAMPLES = r'''
- name: One device
  fernwick.lan.set_ip:
    mac: 00-0A-1B-2C-3D-4E
    ip: 10.77.1.77
    mask: 255.255.255.0
    gateway: 10.77.1.254

- name: A plan
  fernwick.lan.set_ip:
    plan:
      - {mac: 00-0A-1B-00-00-01, ip: 10.77.1.50, mask: 255.255.255.0, gateway: 10.77.1.254, label: lobby}
      - {mac: 00-0A-1B-00-00-02, ip: dhcp, label: stair}
'''

RETURN = r'''
devices:
  description: Each row, with the address it answered from before and whether a request was sent.
  returned: always
  type: list
  elements: dict
  contains:
    mac: {description: The MAC address as 00-0A-1B-2C-3D-4E., type: str}
    label: {description: The row's label., type: str}
    old_ip: {description: 'The address the search found it at, null when it did not answer.', type: str}
    ip: {description: The planned address or C(dhcp)., type: str}
    changed: {description: 'Whether a request was sent (in check mode, would be).', type: bool}
    state:
      description:
        - How the row ended, as C(set-ip --plan) reports it (C(done), C(unchanged), C(not-found),
          C(refused), C(timed-out), C(not-back), C(taken), C(host-address), C(not-sent)); none in
          check mode.
      type: str
  sample:
    - {mac: 00-0A-1B-00-00-01, label: lobby, old_ip: 10.77.1.10, ip: 10.77.1.50, changed: true, state: done}
'''

import csv
import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fernwick.lan.plugins.module_utils.fernwick import (
    COMMON_ARGS, fail, interface_args, normal_mac, run, search)

# The states of rows a request was sent to.
SENT = ('done', 'refused', 'timed-out', 'not-back')


def preview(module, rows):
    """Check mode: what a search says would change; nothing is sent."""
    found = dict((normal_mac(d['mac']), d['ip']) for d in search(module, module.params['timeout']))
    return [dict(mac=r['mac'], label=r.get('label'), old_ip=found.get(r['mac']), ip=r['ip'], state=None,
                 changed=r['ip'] == 'dhcp' or found.get(r['mac']) != r['ip']) for r in rows]


def write_plan(module, rows):
    fd, path = tempfile.mkstemp(suffix='.csv', dir=module.tmpdir)
    with os.fdopen(fd, 'w', newline='') as f:
        out = csv.writer(f, lineterminator='\n')
        out.writerow(['mac', 'ip', 'mask', 'gateway', 'label'])
        for r in rows:
            dhcp = r['ip'] == 'dhcp'
            out.writerow([r['mac'], r['ip'], '' if dhcp else r['mask'], '' if dhcp else r['gateway'],
                          r.get('label') or ''])
    return path


def apply_plan(module, rows):
    """The whole plan in one set-ip --plan run; its JSON rows say what was sent."""
    if module.check_mode or not rows:
        return preview(module, rows) if rows else []
    p = module.params
    args = ['set-ip', '--plan', write_plan(module, rows), '--format', 'json',
            '--timeout', str(p['timeout'])] + interface_args(module)
    if p['verify']:
        args += ['--verify', '--verify-timeout', str(p['verify_timeout'])] + (['--force'] if p['force'] else [])
    rc, out, err = run(module, args)
    try:
        entries = json.loads(out) if rc in (0, 1) else None
    except ValueError as e:
        fail(module, 'set-ip --plan', rc, out, 'unreadable JSON: %s' % e)
    if entries is None:
        fail(module, 'set-ip --plan', rc, out, err)
    devices = [dict(mac=e['mac'], label=e['label'] or None, old_ip=e['old_ip'], ip=e['planned_ip'],
                    state=e['state'], changed=e['state'] in SENT) for e in entries]
    if rc != 0:
        unsettled = ', '.join('%s %s' % (d['mac'], d['state']) for d in devices
                              if d['state'] not in ('done', 'unchanged'))
        fail(module, 'set-ip --plan', rc, out, unsettled or err, changed=any(d['changed'] for d in devices),
             devices=devices)
    return devices


def rows_of(module):
    p = module.params
    if p['plan'] is None:
        rows = [dict(mac=p['mac'], ip='dhcp' if p['dhcp'] else p['ip'], mask=p['mask'], gateway=p['gateway'])]
    else:
        rows = [dict(r) for r in p['plan']]
    for r in rows:
        r['mac'] = normal_mac(r['mac'])
        r['ip'] = 'dhcp' if r['ip'].lower() == 'dhcp' else r['ip']
        if r['ip'] != 'dhcp' and not r.get('mask'):
            module.fail_json(msg='%s: a fixed address needs a mask' % r['mac'])
    return rows


def main():
    row = dict(mac=dict(type='str', required=True), ip=dict(type='str', required=True), mask=dict(type='str'),
               gateway=dict(type='str', default='0.0.0.0'), label=dict(type='str'))
    module = AnsibleModule(
        argument_spec=dict(COMMON_ARGS, mac=dict(type='str'), ip=dict(type='str'), mask=dict(type='str'),
                           gateway=dict(type='str', default='0.0.0.0'), dhcp=dict(type='bool', default=False),
                           plan=dict(type='list', elements='dict', options=row),
                           verify=dict(type='bool', default=True), force=dict(type='bool', default=False),
                           verify_timeout=dict(type='float', default=15), timeout=dict(type='float', default=3)),
        mutually_exclusive=[('plan', 'mac'), ('plan', 'ip'), ('plan', 'dhcp'), ('ip', 'dhcp')],
        required_one_of=[('plan', 'mac')],
        supports_check_mode=True)
    if module.params['mac'] and not (module.params['ip'] or module.params['dhcp']):
        module.fail_json(msg='give ip (and mask) or dhcp with mac')
    devices = apply_plan(module, rows_of(module))
    sent = [d for d in devices if d['changed']]

    def lines(key):
        return ''.join('%s%s: %s\n' % (d['mac'], ' (%s)' % d['label'] if d['label'] else '', d[key]) for d in sent)

    module.exit_json(changed=bool(sent), devices=devices, diff=dict(before=lines('old_ip'), after=lines('ip')))


if __name__ == '__main__':
    main()
