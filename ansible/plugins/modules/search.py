#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: search
short_description: List the wireless LAN devices on the managed host's segments
version_added: 2.3.0
description:
  - Runs C(fernwick-cli search --format json) on the managed host and returns every device that
    answered the discovery broadcast (and the I(targets)), also as the fact C(fernwick_found).
  - No device answering is not an error; the list is empty.
  - When UDP port 4001 is held by another program on one adapter, the devices the other adapters
    found are returned, with a warning.
options:
  timeout:
    description: Seconds to wait for answers.
    type: float
    default: 3
attributes:
  check_mode:
    description: Can run in check mode and return the devices found.
    support: full
  diff_mode:
    description: Returns no diff; a search changes nothing.
    support: none
notes:
  - Only one program at a time can search on an adapter of a host.
  - The fact was named C(fernwick_devices) in earlier versions, the name of the inventory's group of all
    devices; it is C(fernwick_found) now. A bridge's I(kind) is C(bridge) (C(adapter) in the
    program's own JSON).
extends_documentation_fragment:
  - fernwick.lan.common
  - fernwick.lan.common.targets
author:
  - Fernwick developers (!UNKNOWN)
'''

EXAMPLES = r'''
- name: Find the devices of every site
  fernwick.lan.search:
    interfaces: [eth0, eth1]

- name: Show their addresses
  ansible.builtin.debug:
    msg: "{{ fernwick_found | map(attribute='ip') | list }}"
'''

RETURN = r'''
devices:
  description: The devices that answered, as C(fernwick-cli search --format json) lists them.
  returned: always
  type: list
  elements: dict
  contains:
    name: {description: The device's name., type: str}
    ip: {description: Its address., type: str}
    essid: {description: Its ESS-ID., type: str}
    channel: {description: Its radio channel., type: int}
    wep: {description: Whether WEP is on., type: bool}
    mac: {description: Its MAC address as 00-0A-1B-2C-3D-4E., type: str}
    kind: {description: C(ap) or C(bridge)., type: str}
    adapter: {description: The local adapter it answered on., type: str}
    adapter_ip: {description: That adapter's address., type: str}
  sample:
    - {name: Lobby AP, ip: 10.77.1.10, essid: office, channel: 6, wep: false, mac: 00-0A-1B-00-00-01,
       kind: ap, adapter: eth0, adapter_ip: 10.77.1.1}
ansible_facts:
  description: C(fernwick_found), the same list.
  contains:
    fernwick_found:
      description: The devices.
      type: list
      elements: dict
  returned: always
  type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fernwick.lan.plugins.module_utils.fernwick import COMMON_ARGS, TARGET_ARGS, search


def main():
    module = AnsibleModule(argument_spec=dict(COMMON_ARGS, timeout=dict(type='float', default=3), **TARGET_ARGS),
                           supports_check_mode=True)
    devices = search(module, module.params['timeout'])
    module.exit_json(changed=False, devices=devices, ansible_facts=dict(fernwick_found=devices))


if __name__ == '__main__':
    main()
