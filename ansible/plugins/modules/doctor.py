#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: doctor
short_description: Tell why devices do not answer on the managed host, and fail on a problem
version_added: 2.3.0
description:
  - Runs C(fernwick-cli doctor --format json) on the managed host (interfaces, reverse-path filters,
    UDP port 4001, the nftables input chains and a probe search) and returns its findings.
  - Fails, with the findings, when one of them has a severity named in I(fail_on).
options:
  timeout:
    description: Seconds to wait for answers to the probe search.
    type: float
    default: 3
  fail_on:
    description: The finding severities that make the task fail.
    type: list
    elements: str
    choices: [problem, warning, info]
    default: [problem]
attributes:
  check_mode:
    description: Runs in check mode as it does otherwise; the doctor changes nothing.
    support: full
  diff_mode:
    description: Returns no diff.
    support: none
notes:
  - Run as root it also reads the nftables ruleset and watches each adapter with a packet socket.
extends_documentation_fragment:
  - fernwick.lan.common
author:
  - Fernwick developers (!UNKNOWN)
'''

EXAMPLES = r'''
- name: Check that the site's adapters can reach the devices
  fernwick.lan.doctor:
    interfaces: [eth0, eth1]

- name: Fail on warnings too
  fernwick.lan.doctor:
    fail_on: [problem, warning]
'''

RETURN = r'''
status:
  description: The doctor's exit status, 0 nothing found or 1 something found.
  returned: always
  type: int
findings:
  description: Each finding, with C(severity), C(code), C(interface), C(device), C(message) and C(fix).
  returned: always
  type: list
  elements: dict
  sample:
    - {severity: warning, code: rp-filter-strict, interface: eth1, device: null,
       message: 'strict reverse-path filter', fix: 'sysctl -w net.ipv4.conf.eth1.rp_filter=2'}
interfaces:
  description: Every interface looked at, as C(fernwick-cli doctor --format json) lists it.
  returned: always
  type: list
  elements: dict
firewall:
  description: What the nftables check found.
  returned: always
  type: dict
probe:
  description: The probe search's answers per adapter.
  returned: always
  type: dict
'''

import json

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fernwick.lan.plugins.module_utils.fernwick import COMMON_ARGS, fail, interface_args, run


def main():
    module = AnsibleModule(argument_spec=dict(
        COMMON_ARGS, timeout=dict(type='float', default=3),
        fail_on=dict(type='list', elements='str', choices=['problem', 'warning', 'info'], default=['problem'])),
        supports_check_mode=True)
    rc, out, err = run(module, ['doctor', '--format', 'json', '--timeout', str(module.params['timeout'])]
                       + interface_args(module))
    if rc not in (0, 1):
        fail(module, 'doctor', rc, out, err)
    try:
        report = json.loads(out)
    except ValueError as e:
        fail(module, 'doctor', rc, out, 'unreadable JSON: %s' % e)
    result = dict(changed=False, status=report.get('status', rc), findings=report.get('findings', []),
                  interfaces=report.get('interfaces', []), firewall=report.get('firewall', {}),
                  probe=report.get('probe', {}))
    failing = [f for f in result['findings'] if f.get('severity') in module.params['fail_on']]
    if failing:
        module.fail_json(msg='; '.join('%s: %s' % (f.get('code'), f.get('message')) for f in failing), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
