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
  - A search (C(fernwick-cli search --format json)) runs first; a device that already answers from
    its planned address gets no request, so the task is C(changed) only when a request was sent.
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
    description: Seconds to wait for answers to the search and to each request.
    type: float
    default: 3
notes:
  - The search shows a device's address but not its mask, gateway or DHCP mode, so only the address
    is compared; a C(dhcp) row is always sent.
  - The rows are applied one after another; the task fails at the first device that refuses or does
    not come back, with the rows done so far in I(devices).
  - Check mode says which devices would get a request; C(--diff) shows their old and new addresses.
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
  sample:
    - {mac: 00-0A-1B-00-00-01, label: lobby, old_ip: 10.77.1.10, ip: 10.77.1.50, changed: true}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fernwick.lan.plugins.module_utils.fernwick import (
    COMMON_ARGS, fail, interface_args, normal_mac, run, search)


def request(module, row):
    p = module.params
    args = ['set-ip', row['mac'], '--timeout', str(p['timeout'])] + interface_args(module)
    if row['ip'] == 'dhcp':
        args += ['--dhcp']
    else:
        args += ['--ip', row['ip'], '--mask', row['mask'], '--gateway', row['gateway']]
    if p['verify']:
        args += ['--verify', '--verify-timeout', str(p['verify_timeout'])] + (['--force'] if p['force'] else [])
    return args


def apply_plan(module, rows):
    """Sends each row whose device does not answer from its planned address yet, one after another.
    The one place that sends: a set-ip that takes a whole plan can replace this loop."""
    found = dict((normal_mac(d['mac']), d['ip']) for d in search(module, module.params['timeout']))
    done = []
    for row in rows:
        old = found.get(row['mac'])
        entry = dict(mac=row['mac'], label=row.get('label'), old_ip=old, ip=row['ip'],
                     changed=row['ip'] == 'dhcp' or old != row['ip'])
        if entry['changed'] and not module.check_mode:
            rc, out, err = run(module, request(module, row))
            if rc != 0:
                fail(module, 'set-ip ' + row['mac'], rc, out, err, devices=done + [entry])
        done.append(entry)
    return done


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
