# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
name: devices
short_description: The wireless LAN devices each site host finds, as inventory hosts
version_added: 2.3.0
description:
  - Runs C(fernwick-cli search --format json) on every host of I(site_group) (over C(ssh) with the
    host's connection variables, or locally for C(ansible_connection=local)) and makes each device
    that answered an inventory host named by its MAC address (C(00-0A-1B-2C-3D-4E)).
  - Devices are grouped in C(fernwick_devices) and by site (C(site_SITE)), kind (C(kind_ap),
    C(kind_adapter)) and ESS-ID (C(essid_ESSID)), names made safe for groups.
  - Host variables are C(ip), C(mac), C(essid), C(channel), C(adapter), C(site) (the site host's
    inventory name), C(device_name), C(kind), C(wep) and C(adapter_ip).
  - The site hosts must come from an inventory source read before this one (for example a YAML
    file whose name sorts first in an inventory folder).
  - A site whose search fails is left out with a warning.
  - The file's name must end in C(fernwick.yml) or C(fernwick.yaml).
extends_documentation_fragment:
  - constructed
options:
  plugin:
    description: The name of this plugin.
    required: true
    type: str
    choices: [fernwick.lan.devices]
  site_group:
    description: The group of the site hosts.
    type: str
    default: fernwick_sites
  fernwick_cli:
    description: The program on the site hosts; a site's C(fernwick_cli) variable takes precedence.
    type: str
    default: fernwick-cli
  interfaces:
    description:
      - Search on these adapters only (all usable adapters when empty); a site's
        C(fernwick_interfaces) variable takes precedence.
    type: list
    elements: str
    default: []
  timeout:
    description: Seconds each search waits for answers.
    type: float
    default: 3
'''

EXAMPLES = r'''
# sites.yml, read first:
#   fernwick_sites:
#     hosts:
#       site_a: {ansible_host: 192.0.2.10}
#       site_b: {ansible_host: 192.0.2.20, fernwick_interfaces: [eth1]}
# devices.fernwick.yml:
plugin: fernwick.lan.devices
timeout: 2
keyed_groups:
  - key: channel
    prefix: channel
'''

import json
import shlex
import subprocess

from ansible.errors import AnsibleParserError
from ansible.inventory.group import to_safe_group_name
from ansible.inventory.helpers import get_group_vars
from ansible.module_utils.common.text.converters import to_native
from ansible.plugins.inventory import BaseInventoryPlugin, Constructable
from ansible.utils.vars import combine_vars


class InventoryModule(BaseInventoryPlugin, Constructable):
    NAME = 'fernwick.lan.devices'

    def verify_file(self, path):
        return super(InventoryModule, self).verify_file(path) and path.endswith(('fernwick.yml', 'fernwick.yaml'))

    def parse(self, inventory, loader, path, cache=True):
        super(InventoryModule, self).parse(inventory, loader, path, cache)
        self._read_config_data(path)
        group = self.inventory.groups.get(self.get_option('site_group'))
        if group is None:
            raise AnsibleParserError('no group %s of site hosts in the inventory read so far' %
                                     self.get_option('site_group'))
        self.inventory.add_group('fernwick_devices')
        for site in sorted(group.get_hosts(), key=lambda h: h.name):
            hostvars = combine_vars(get_group_vars(site.get_groups()), site.get_vars())
            try:
                devices = self._search(site.name, hostvars)
            except (OSError, ValueError, subprocess.SubprocessError) as e:
                self.display.warning('fernwick.lan.devices: site %s left out: %s' % (site.name, to_native(e)))
                continue
            for device in devices:
                self._add(site.name, device)

    def _search(self, site, hostvars):
        cli = hostvars.get('fernwick_cli', self.get_option('fernwick_cli'))
        command = [cli, 'search', '--format', 'json', '--timeout', str(self.get_option('timeout'))]
        for name in hostvars.get('fernwick_interfaces', self.get_option('interfaces')):
            command += ['--interface', name]
        if hostvars.get('ansible_connection') != 'local':
            command = self._ssh(site, hostvars) + ['--', ' '.join(shlex.quote(a) for a in command)]
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, check=False)
        if done.returncode not in (0, 1):  # 1: no device answered
            raise ValueError('exit %d: %s' % (done.returncode, to_native(done.stderr).strip()))
        return json.loads(done.stdout) if done.stdout.strip() else []

    @staticmethod
    def _ssh(site, hostvars):
        ssh = ['ssh', '-o', 'BatchMode=yes']
        if 'ansible_port' in hostvars:
            ssh += ['-p', str(hostvars['ansible_port'])]
        if 'ansible_ssh_private_key_file' in hostvars:
            ssh += ['-i', hostvars['ansible_ssh_private_key_file']]
        ssh += shlex.split(hostvars.get('ansible_ssh_common_args', ''))
        host = hostvars.get('ansible_host', site)
        user = hostvars.get('ansible_user')
        return ssh + [user + '@' + host if user else host]

    def _add(self, site, device):
        name = device['mac']
        self.inventory.add_host(name, group='fernwick_devices')
        hostvars = dict(ip=device.get('ip'), mac=device['mac'], essid=device.get('essid'),
                        channel=device.get('channel'), adapter=device.get('adapter'), site=site,
                        device_name=device.get('name'), kind=device.get('kind'), wep=device.get('wep'),
                        adapter_ip=device.get('adapter_ip'))
        for key, value in hostvars.items():
            self.inventory.set_variable(name, key, value)
        for prefix, value in (('site', site), ('kind', device.get('kind')), ('essid', device.get('essid'))):
            if value:
                group = to_safe_group_name(prefix + '_' + value, force=True, silent=True)
                self.inventory.add_child(self.inventory.add_group(group), name)
        strict = self.get_option('strict')
        self._set_composite_vars(self.get_option('compose'), hostvars, name, strict=strict)
        self._add_host_to_composed_groups(self.get_option('groups'), hostvars, name, strict=strict)
        self._add_host_to_keyed_groups(self.get_option('keyed_groups'), hostvars, name, strict=strict)
