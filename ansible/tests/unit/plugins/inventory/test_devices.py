# SPDX-License-Identifier: GPL-3.0-or-later
"""The inventory plugin through ansible-inventory, with site hosts on the local connection whose
fernwick-cli is a script printing a canned search: nothing is sent anywhere.

    python3 -m unittest test_devices      (exits 77, skipped, without ansible-core)
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

COLLECTION = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..', '..'))
A, B = '00-0A-1B-00-00-01', '00-0A-1B-00-00-02'


def device(mac, kind='ap'):
    return dict(name='d', ip='10.77.1.10', essid='yard', channel=6, wep=False, mac=mac, kind=kind,
                adapter='eth0', adapter_ip='10.77.1.1')


class Inventory(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tmp)
        os.makedirs(os.path.join(self.tmp, 'ansible_collections', 'fernwick'))
        os.symlink(COLLECTION, os.path.join(self.tmp, 'ansible_collections', 'fernwick', 'lan'))
        self.inventory = os.path.join(self.tmp, 'inventory')
        os.makedirs(self.inventory)

    def program(self, name, devices, status=0, stderr=''):
        """A stand-in for fernwick-cli that prints the devices as search --format json does."""
        path = os.path.join(self.tmp, name)
        with open(path, 'w') as f:
            f.write('#!/bin/sh\ncat <<"EOF"\n%s\nEOF\necho %s >&2\nexit %d\n' % (json.dumps(devices), stderr, status))
        os.chmod(path, 0o755)
        return path

    def hosts(self, sites, config='plugin: fernwick.lan.devices\n'):
        with open(os.path.join(self.inventory, '01-sites.yml'), 'w') as f:
            json.dump({'fernwick_sites': {'hosts': sites, 'vars': {'ansible_python_interpreter': sys.executable}}}, f)
        with open(os.path.join(self.inventory, '02-devices.fernwick.yml'), 'w') as f:
            f.write(config)
        env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=self.tmp, ANSIBLE_HOME=os.path.join(self.tmp, 'home'),
                   ANSIBLE_INVENTORY_ENABLED='yaml,fernwick.lan.devices', ANSIBLE_NOCOLOR='1')
        done = subprocess.run(['ansible-inventory', '-i', self.inventory, '--list'], env=env, text=True,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        return json.loads(done.stdout), done.stderr

    def test_sites(self):
        """Each site keeps its own device of a MAC two sites found; a port held on one adapter keeps
        what the others found; a site that found nothing or could not be reached still has its group;
        a bridge is kind_bridge; the site's connection (here local, spelt in full) is the one used."""
        local = 'ansible.builtin.local'
        listing, warnings = self.hosts({
            'a': dict(ansible_connection=local, fernwick_cli=self.program('a', [device(A)])),
            'b': dict(ansible_connection=local, fernwick_cli=self.program(
                'b', [device(A), device(B, 'adapter')], 2, 'UDP port 4001 on eth1 is in use')),
            'empty': dict(ansible_connection=local, fernwick_cli=self.program('empty', [], 1)),
            'gone': dict(ansible_connection=local, fernwick_cli=os.path.join(self.tmp, 'missing')),
        })
        group = lambda name: sorted(listing.get(name, {}).get('hosts', []))  # noqa: E731
        self.assertEqual(group('fernwick_devices'), [A + '.a', A + '.b', B])
        self.assertEqual((group('site_a'), group('site_b')), ([A + '.a'], [A + '.b', B]))
        self.assertIn('site_empty', listing['all']['children'])
        self.assertIn('site_gone', listing['all']['children'])
        self.assertEqual(group('kind_bridge'), [B])
        self.assertEqual(listing['_meta']['hostvars'][A + '.b']['site'], 'b')
        for text in ('port 4001 on eth1 is in use', 'site gone: left out', A + ' answered at the sites a, b'):
            self.assertIn(text, ' '.join(warnings.split()))

    def test_cache(self):
        """With the cache on, a second listing reads the cache rather than searching again."""
        program = self.program('a', [device(A)])
        config = ('plugin: fernwick.lan.devices\ncache: true\ncache_plugin: ansible.builtin.jsonfile\n'
                  'cache_connection: %s\n' % os.path.join(self.tmp, 'cache'))
        sites = {'a': dict(ansible_connection='local', fernwick_cli=program)}
        self.assertEqual(self.hosts(sites, config)[0]['fernwick_devices']['hosts'], [A])
        os.remove(program)
        self.assertEqual(self.hosts(sites, config)[0]['fernwick_devices']['hosts'], [A])

    def test_inventory_file(self):
        """The operator's name and note come from the inventory file by MAC in any form; a device it
        does not list is in fernwick_unlisted."""
        path = os.path.join(self.tmp, 'inventory.json')
        with open(path, 'w') as f:
            json.dump({'format': 'fernwick-inventory', 'version': 1, 'devices': [
                {'mac': '000a.1b00.0001', 'name': 'Yard AP', 'note': 'mast 2', 'gone': False, 'fields': {}}]}, f)
        sites = {'a': dict(ansible_connection='local', fernwick_cli=self.program('a', [device(A), device(B)]))}
        listing = self.hosts(sites, 'plugin: fernwick.lan.devices\ninventory_file: %s\n' % path)[0]
        self.assertEqual(listing['_meta']['hostvars'][A]['operator_name'], 'Yard AP')
        self.assertEqual(listing['_meta']['hostvars'][A]['operator_note'], 'mast 2')
        self.assertEqual(listing['fernwick_unlisted']['hosts'], [B])


if __name__ == '__main__':
    if not shutil.which('ansible-inventory'):
        print('SKIPPED: ansible-core is not installed')
        sys.exit(77)
    unittest.main()
