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
    description: Seconds to wait for an answer to each request.
    type: float
    default: 3
  retries:
    description: Further copies of each request when no answer came (C(--retries)).
    type: int
    default: 2
attributes:
  check_mode:
    description:
      - Runs C(set-ip --plan --dry-run), which does all a real run does before sending (reads the
        plan, searches, refuses this host's address and, with I(verify), a taken one) and sends
        nothing. A row that would fail fails the task as the real run would; a row that would get
        a request is C(changed), with I(state) C(pending).
    support: full
  diff_mode:
    description: Shows the old and new address of each device that gets (or would get) a request.
    support: full
notes:
  - The search shows a device's address but not its mask, gateway or DHCP mode, so only the address
    is compared. A C(dhcp) row is therefore sent on every run, and a device already answering from
    its planned address gets no request even when the row's mask or gateway differ from the
    device's; the result's I(warnings) say so for such rows.
  - Requests on different adapters go side by side, one at a time on each. The task fails when a
    row ends neither C(done) nor C(unchanged) (a device not found, refusing, silent, not back, an
    address taken or this host's own), with every row, its I(state) and I(detail) in I(devices)
    and each failing row's reason in I(msg).
  - A bad row (a MAC or address that is not one) fails the task before anything is sent, naming
    the row as C(plan[N]) (counted from 0) or the task's own options.
extends_documentation_fragment:
  - fernwick.lan.common
  - fernwick.lan.common.targets
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
          C(refused), C(timed-out), C(not-back), C(taken), C(host-address), C(not-sent)); in check
          mode C(pending) for a row that would get a request.
      type: str
    detail:
      description:
        - Why the row is not done, in the program's words (the device's own reason, the device
          that holds a taken address...); empty when done.
      type: str
  sample:
    - {mac: 00-0A-1B-00-00-01, label: lobby, old_ip: 10.77.1.10, ip: 10.77.1.50, changed: true, state: done, detail: ''}
'''

import csv
import os
import re
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fernwick.lan.plugins.module_utils.fernwick import (
    COMMON_ARGS, TARGET_ARGS, fail, interface_args, normal_mac, read_json, run, target_args)

# The states of rows a request was sent to (in check mode: would be).
SENT = ('done', 'refused', 'timed-out', 'not-back', 'pending')


def write_plan(module, rows):
    """The rows as the program's CSV plan: a header on line 1, rows[i] on line i + 2."""
    fd, path = tempfile.mkstemp(suffix='.csv', dir=module.tmpdir)
    with os.fdopen(fd, 'w', newline='') as f:
        out = csv.writer(f, lineterminator='\n')
        out.writerow(['mac', 'ip', 'mask', 'gateway', 'label'])
        for r in rows:
            dhcp = r['ip'] == 'dhcp'
            out.writerow([r['mac'], r['ip'], '' if dhcp else r['mask'], '' if dhcp else r['gateway'],
                          r.get('label') or ''])
    return path


def item_name(module, line):
    """plan[N] for the row on the CSV's line, or the task's options for one device."""
    if module.params['plan'] is None:
        return 'the task (mac, ip, mask, gateway)'
    return 'plan[%d]' % (line - 2) if line >= 2 else 'the plan'


def named_items(module, path, text):
    """The program's complaints about the temporary plan, each about the task's own row."""
    text = re.sub(re.escape(path) + r':(\d+): ', lambda m: item_name(module, int(m.group(1))) + ': ', text)
    return re.sub(r'\(line (\d+)\)', lambda m: '(%s)' % item_name(module, int(m.group(1))), text)


def row_name(d):
    return d['mac'] + (' (%s)' % d['label'] if d['label'] else '')


def apply_plan(module, rows):
    """The whole plan in one set-ip --plan run (a dry run in check mode); its JSON rows say what was
    sent or would be."""
    if not rows:
        return []
    p = module.params
    path = write_plan(module, rows)
    args = ['set-ip', '--plan', path, '--format', 'json', '--timeout', str(p['timeout']),
            '--retries', str(p['retries'])] + interface_args(module) + target_args(module)
    if p['verify']:
        args += ['--verify', '--verify-timeout', str(p['verify_timeout'])] + (['--force'] if p['force'] else [])
    if module.check_mode:
        args.append('--dry-run')
    rc, out, err = run(module, args)
    err = named_items(module, path, err)
    if rc not in (0, 1) or not out.strip():
        fail(module, 'set-ip --plan', rc, out, err)
    entries = read_json(module, 'set-ip --plan', rc, out, err)
    devices = [dict(mac=e['mac'], label=e['label'] or None, old_ip=e['old_ip'], ip=e['planned_ip'],
                    state=e['state'], detail=e.get('detail') or '', changed=e['state'] in SENT) for e in entries]
    if rc != 0:
        unsettled = '; '.join('%s: %s%s' % (row_name(d), d['state'], ' (%s)' % d['detail'] if d['detail'] else '')
                              for d in devices if d['state'] not in ('done', 'unchanged', 'pending'))
        fail(module, 'set-ip --plan', rc, out, unsettled or err, changed=any(d['changed'] for d in devices),
             devices=devices)
    return devices


def warn_unsure(module, devices, rows):
    """What the search cannot tell, said in the result rather than only in the notes."""
    dhcp = [row_name(d) for d in devices if d['ip'] == 'dhcp' and d['changed']]
    if dhcp:
        module.warn('DHCP rows are sent on every run (a search does not tell how a device got its address): '
                    + ', '.join(dhcp))
    fixed = dict((r['mac'], r) for r in rows if r['ip'] != 'dhcp')
    same = [row_name(d) for d in devices if d['state'] == 'unchanged' and d['mac'] in fixed]
    if same:
        module.warn('already at their planned address, so not sent; a mask or gateway that differs from the '
                    "device's is not set (a search does not show them): " + ', '.join(same))


def rows_of(module):
    p = module.params
    if p['plan'] is None:
        rows = [dict(mac=p['mac'], ip='dhcp' if p['dhcp'] else p['ip'], mask=p['mask'], gateway=p['gateway'])]
    else:
        rows = [dict(r) for r in p['plan']]
    for i, r in enumerate(rows):
        r['mac'] = normal_mac(r['mac'])
        r['ip'] = 'dhcp' if r['ip'].lower() == 'dhcp' else r['ip']
        if r['ip'] != 'dhcp' and not r.get('mask'):
            module.fail_json(msg='%s: %s: a fixed address needs a mask; nothing was sent'
                             % (item_name(module, i + 2), r['mac']))
    return rows


def main():
    row = dict(mac=dict(type='str', required=True), ip=dict(type='str', required=True), mask=dict(type='str'),
               gateway=dict(type='str', default='0.0.0.0'), label=dict(type='str'))
    module = AnsibleModule(
        argument_spec=dict(COMMON_ARGS, mac=dict(type='str'), ip=dict(type='str'), mask=dict(type='str'),
                           gateway=dict(type='str', default='0.0.0.0'), dhcp=dict(type='bool', default=False),
                           plan=dict(type='list', elements='dict', options=row),
                           verify=dict(type='bool', default=True), force=dict(type='bool', default=False),
                           verify_timeout=dict(type='float', default=15), timeout=dict(type='float', default=3),
                           retries=dict(type='int', default=2), **TARGET_ARGS),
        mutually_exclusive=[('plan', 'mac'), ('plan', 'ip'), ('plan', 'dhcp'), ('ip', 'dhcp')],
        required_one_of=[('plan', 'mac')],
        supports_check_mode=True)
    if module.params['mac'] and not (module.params['ip'] or module.params['dhcp']):
        module.fail_json(msg='give ip (and mask) or dhcp with mac')
    rows = rows_of(module)
    devices = apply_plan(module, rows)
    warn_unsure(module, devices, rows)
    sent = [d for d in devices if d['changed']]

    def lines(key):
        return ''.join('%s: %s\n' % (row_name(d), d[key]) for d in sent)

    module.exit_json(changed=bool(sent), devices=devices, diff=dict(before=lines('old_ip'), after=lines('ip')))


if __name__ == '__main__':
    main()
