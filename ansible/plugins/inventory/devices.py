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
  - Runs C(fernwick-cli search --format json) on every host of I(site_group) through the host's
    own Ansible connection (C(ansible_connection), default C(ssh), with its C(ansible_host),
    C(ansible_port), C(ansible_user), keys, C(ansible_ssh_common_args), host-key checking and
    C(ansible_ssh_timeout) as a play would use them; C(local) runs it on the controller) and makes
    each device that answered an inventory host.
  - A device is named by its MAC address (C(00-0A-1B-2C-3D-4E)). When several sites find the same
    MAC, each site's device is kept as its own host named C(MAC.SITE)
    (C(00-0A-1B-2C-3D-4E.site_a)), with a warning.
  - Devices are grouped in C(fernwick_devices) and by site (C(site_SITE), made for every site
    host, even one where no device answered), kind (C(kind_ap), C(kind_bridge)) and ESS-ID
    (C(essid_ESSID)), names made safe for groups.
  - Host variables are C(ip), C(mac), C(essid), C(channel), C(adapter), C(site) (the site host's
    inventory name), C(device_name), C(kind) (C(ap) or C(bridge)), C(wep) and C(adapter_ip).
  - The site hosts must come from an inventory source read before this one (for example a YAML
    file whose name sorts first in an inventory folder).
  - Up to I(parallel) sites are searched at once. A site that cannot be reached or whose search
    fails is left out with a warning; when UDP port 4001 is held on one of its adapters, the
    devices its other adapters found are kept, with a warning.
  - The file's name must end in C(fernwick.yml) or C(fernwick.yaml).
extends_documentation_fragment:
  - constructed
  - inventory_cache
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
  connect_timeout:
    description:
      - Seconds to wait for the connection to a site (the ssh connection's C(timeout)), unless the
        site sets C(ansible_ssh_timeout) or C(ansible_timeout) itself.
    type: int
    default: 10
  parallel:
    description: Sites searched at once.
    type: int
    default: 8
  inventory_file:
    description:
      - A device inventory written by C(fernwick-cli watch --inventory) (or by hand), read on the
        controller. Each device found that it lists gets the operator's name and note in
        C(operator_name) and C(operator_note); a device it does not list goes in the group
        C(fernwick_unlisted) as well.
      - It is the program's JSON document, with C(format) C(fernwick-inventory), a C(version) and a list of
        C(devices), each an object with C(mac) (any of the usual forms); C(name) and C(note) are read,
        other members ignored. A file that is no inventory, or of a newer version, is an error.
    type: path
    version_added: 2.4.0
notes:
  - The group C(kind_bridge) was named C(kind_adapter), and a bridge's C(kind) was C(adapter), in
    earlier versions.
'''

EXAMPLES = r'''
# sites.yml, read first:
#   fernwick_sites:
#     hosts:
#       site_a: {ansible_host: 192.0.2.10}
#       site_b: {ansible_host: 192.0.2.20, fernwick_interfaces: [eth1]}
#       lab: {ansible_connection: local}
# devices.fernwick.yml:
plugin: fernwick.lan.devices
timeout: 2
cache: true
cache_plugin: ansible.builtin.jsonfile
cache_connection: ~/.cache/fernwick-inventory
keyed_groups:
  - key: channel
    prefix: channel
'''

import json
import shlex
from concurrent.futures import ThreadPoolExecutor

from ansible.errors import AnsibleError, AnsibleParserError
from ansible.inventory.group import to_safe_group_name
from ansible.inventory.helpers import get_group_vars
from ansible.module_utils.common.text.converters import to_native
from ansible.playbook.play_context import PlayContext
from ansible.plugins.inventory import BaseInventoryPlugin, Cacheable, Constructable
from ansible.plugins.loader import connection_loader
from ansible.utils.vars import combine_vars

# The program's JSON calls a bridge's kind "adapter"; the collection calls it "bridge".
KIND_NAMES = {'adapter': 'bridge'}


INVENTORY_FORMAT = 'fernwick-inventory'
INVENTORY_VERSION = 1


def text_member(entry, key):
    """A string member as fernwick-cli reads it: missing or of another type is empty."""
    value = entry.get(key)
    return value if isinstance(value, str) else ''


def canonical_mac(text):
    """00-0A-1B-2C-3D-4E from 00:0a:1b:2c:3d:4e, 000a.1b2c.3d4e, 000A1B2C3D4E; None otherwise."""
    digits = ''.join(c for c in str(text) if c not in ':-. ').upper()
    if len(digits) != 12 or any(c not in '0123456789ABCDEF' for c in digits):
        return None
    return '-'.join(digits[i:i + 2] for i in range(0, 12, 2))


class InventoryModule(BaseInventoryPlugin, Constructable, Cacheable):
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
        sites = sorted(group.get_hosts(), key=lambda h: h.name)
        key = self.get_cache_key(path)
        found = None
        if self.get_option('cache') and cache:
            found = self._cache.get(key)
        if found is None:
            found = self._search_all(sites)
            if self.get_option('cache'):
                self._cache[key] = found
        self.populate([s.name for s in sites], found)

    def populate(self, sites, found):
        """Hosts and groups from each site's {devices, warning}."""
        self.inventory.add_group('fernwick_devices')
        self._listed = self._read_inventory_file()
        if self._listed is not None:
            self.inventory.add_group('fernwick_unlisted')
        for site in sites:  # also where nothing answered, so that patterns naming it still work
            self.inventory.add_group(to_safe_group_name('site_' + site, force=True, silent=True))
        at = {}
        for site in sites:
            result = found.get(site) or dict(devices=[], warning='not searched')
            if result.get('warning'):
                self.display.warning('fernwick.lan.devices: site %s: %s' % (site, result['warning']))
            for device in result['devices']:
                where = at.setdefault(device['mac'], [])
                if site not in where:
                    where.append(site)
        for mac, where in sorted(at.items()):
            if len(where) > 1:
                self.display.warning('fernwick.lan.devices: %s answered at the sites %s; each is its own host: %s'
                                     % (mac, ', '.join(where), ', '.join(mac + '.' + s for s in where)))
        for site in sites:
            seen = set()
            for device in (found.get(site) or {}).get('devices', []):
                mac = device['mac']
                if mac not in seen:  # a device heard on two adapters of the site is one host
                    seen.add(mac)
                    self._add(mac if len(at[mac]) == 1 else mac + '.' + site, site, device)

    def _read_inventory_file(self):
        """{MAC as the program writes it: {name, note}}, or None without inventory_file."""
        path = self.get_option('inventory_file')
        if not path:
            return None
        try:
            with open(path, encoding='utf-8') as f:
                document = json.load(f)
        except (OSError, ValueError) as e:
            raise AnsibleParserError('fernwick.lan.devices: inventory_file %s: %s' % (path, to_native(e)))
        # As fernwick-cli reads it: the format's name, a version it knows, and a list of devices.
        if not isinstance(document, dict) or document.get('format') != INVENTORY_FORMAT or \
                not isinstance(document.get('devices'), list):
            raise AnsibleParserError('fernwick.lan.devices: inventory_file %s is not a Fernwick inventory' % path)
        version = document.get('version', 0)
        if not isinstance(version, int) or version > INVENTORY_VERSION:
            raise AnsibleParserError('fernwick.lan.devices: inventory_file %s is of a newer format (version %s); '
                                     'this plugin reads version %d and older' % (path, version, INVENTORY_VERSION))
        listed = {}
        for entry in document['devices']:
            mac = canonical_mac(entry.get('mac', '')) if isinstance(entry, dict) else None
            if mac:
                listed[mac] = dict(name=text_member(entry, 'name'), note=text_member(entry, 'note'))
        return listed

    def _search_all(self, sites):
        jobs = []
        for site in sites:
            hostvars = combine_vars(get_group_vars(site.get_groups()), site.get_vars())
            hostvars.setdefault('inventory_hostname', site.name)
            # Made here, one after another: loading a connection plugin is not safe in threads.
            try:
                jobs.append((site.name, self._connection(site.name, hostvars), self._command(hostvars)))
            except Exception as e:  # whatever the connection plugin raises
                jobs.append((site.name, e, None))
        with ThreadPoolExecutor(max_workers=max(1, self.get_option('parallel'))) as pool:
            results = list(pool.map(lambda job: self._search(*job[1:]), jobs))
        return dict((job[0], result) for job, result in zip(jobs, results))

    def _command(self, hostvars):
        cli = hostvars.get('fernwick_cli', self.get_option('fernwick_cli'))
        command = [cli, 'search', '--format', 'json', '--timeout', str(self.get_option('timeout'))]
        for name in hostvars.get('fernwick_interfaces', self.get_option('interfaces')):
            command += ['--interface', name]
        return ' '.join(shlex.quote(str(a)) for a in command)

    def _connection(self, site, hostvars):
        """The site's connection plugin, set up from its variables as a play's task would be."""
        variables = dict((k, v) for k, v in hostvars.items() if k.startswith('ansible_'))
        self.templar.available_variables = hostvars
        variables = self.templar.template(variables)
        variables.setdefault('ansible_host', site)
        if 'ansible_ssh_timeout' not in variables and 'ansible_timeout' not in variables:
            variables['ansible_ssh_timeout'] = self.get_option('connect_timeout')
        context = PlayContext()
        context.remote_addr = variables['ansible_host']
        name = variables.get('ansible_connection', 'ssh')
        connection = connection_loader.get(name, context, '/dev/null')
        if connection is None:
            raise AnsibleError('no connection plugin named %s' % name)
        connection.set_options(var_options=variables)
        return connection

    @staticmethod
    def _search(connection, command):
        """{devices, warning}; never raises, as one site must not stop the others."""
        try:
            if isinstance(connection, Exception):
                raise connection
            try:
                rc, out, err = connection.exec_command(command)
            finally:
                connection.close()
        except Exception as e:  # whatever the connection plugin raises
            return dict(devices=[], warning='left out: %s' % to_native(e))
        out, err = to_native(out), to_native(err).strip()
        try:
            devices = json.loads(out) if out.strip() else []
        except ValueError as e:
            return dict(devices=[], warning='left out: exit %d, unreadable JSON (%s): %s' % (rc, e, err))
        if rc in (0, 1):  # 1: no device answered
            return dict(devices=devices, warning=None)
        if devices:  # a port held on one adapter: what the others found stands
            return dict(devices=devices, warning='exit %d; kept the %d devices found: %s' % (rc, len(devices), err))
        return dict(devices=[], warning='left out: exit %d: %s' % (rc, err))

    def _add(self, name, site, device):
        self.inventory.add_host(name, group='fernwick_devices')
        kind = KIND_NAMES.get(device.get('kind'), device.get('kind'))
        hostvars = dict(ip=device.get('ip'), mac=device['mac'], essid=device.get('essid'),
                        channel=device.get('channel'), adapter=device.get('adapter'), site=site,
                        device_name=device.get('name'), kind=kind, wep=device.get('wep'),
                        adapter_ip=device.get('adapter_ip'))
        for key, value in hostvars.items():
            self.inventory.set_variable(name, key, value)
        for prefix, value in (('site', site), ('kind', kind), ('essid', device.get('essid'))):
            if value:
                group = to_safe_group_name(prefix + '_' + value, force=True, silent=True)
                self.inventory.add_child(self.inventory.add_group(group), name)
        if self._listed is not None:
            entry = self._listed.get(canonical_mac(device['mac']))
            if entry is None:
                self.inventory.add_child('fernwick_unlisted', name)
            else:
                hostvars.update(operator_name=entry['name'], operator_note=entry['note'])
                self.inventory.set_variable(name, 'operator_name', entry['name'])
                self.inventory.set_variable(name, 'operator_note', entry['note'])
        strict = self.get_option('strict')
        self._set_composite_vars(self.get_option('compose'), hostvars, name, strict=strict)
        self._add_host_to_composed_groups(self.get_option('groups'), hostvars, name, strict=strict)
        self._add_host_to_keyed_groups(self.get_option('keyed_groups'), hostvars, name, strict=strict)
