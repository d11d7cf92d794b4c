# SPDX-License-Identifier: GPL-3.0-or-later
"""The collection end to end in network namespaces. Needs root, ansible-core and openssh-server.

    python3 lab.py FERNWICK_CLI

A controller namespace runs ansible-playbook; two site namespaces, each the workstation of a lab
made by tools/netlab/netlab.py (its own simulated LAN), run sshd on the controller link only
(10.99.1.2 and 10.99.2.2, port 2222, key login, private config). Site A has an access point and a
bridge (fernwick-devsim), site B two access points, each with tftpd-hpa beside its simulator. The
playbook is run twice: the second run must change nothing. Exits 77 (skipped) without root, ansible
or sshd; everything, temporary files included, is removed at the end.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTION = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
REPO = os.path.dirname(COLLECTION)
NETLAB = os.path.join(REPO, 'tools', 'netlab', 'netlab.py')
DEVSIM = os.path.join(REPO, 'tools', 'devsim', 'fernwick-devsim')
PYTHON = '/usr/bin/python3'  # the one Debian's ansible-core is installed for
SITES = {  # site: (controller link, devices as host: (segment, address, simulated devices))
    'a': ('10.99.1', {'d1': ('a', '10.77.1.10', [
        dict(mac='00:0A:1B:0A:00:01', ip='10.77.1.10', name='Lobby AP', essid='office', kind='AP'),
        dict(mac='00:0A:1B:0A:00:02', ip='10.77.1.11', name='Stair bridge', essid='office', kind='G')])}),
    'b': ('10.99.2', {'d1': ('a', '10.77.1.10', [
        dict(mac='00:0A:1B:0B:00:01', ip='10.77.1.10', name='Mast AP', essid='yard', kind='AP')]),
        'd2': ('b', '10.77.2.20', [
            dict(mac='00:0A:1B:0B:00:02', ip='10.77.2.20', name='Gate AP', essid='yard', channel=11, kind='AP')])}),
}


def sh(*args, **kw):
    return subprocess.run(list(args), check=True, stdout=subprocess.PIPE, text=True, **kw).stdout


class Lab:
    def __init__(self, tmp, cli):
        self.tmp, self.cli, self.spawned = tmp, cli, []
        self.base = sh(PYTHON, NETLAB, 'new-name').strip()
        self.ctl = self.base + 'c-ctl'

    def configure(self):
        with open(self.path('ansible.cfg'), 'w') as f:
            f.write('[defaults]\ncollections_path = %s\nlocal_tmp = %s\nremote_tmp = %s\nforks = 2\n'
                    '[inventory]\nenable_plugins = yaml, fernwick.lan.devices\n'
                    '[ssh_connection]\ncontrol_path_dir = %s\n'
                    % (self.path('collections'), self.path('local'), self.path('remote'), self.path('cp')))
        return dict(os.environ, ANSIBLE_CONFIG=self.path('ansible.cfg'), ANSIBLE_HOME=self.path('home'),
                    ANSIBLE_NOCOLOR='1', ANSIBLE_GALAXY_CACHE_DIR=self.path('galaxy'))

    def path(self, *names):
        return os.path.join(self.tmp, *names)

    def spawn(self, namespace, args, log):
        with open(self.path(log), 'ab') as out:
            self.spawned.append(subprocess.Popen(['ip', 'netns', 'exec', namespace] + args, stdout=out,
                                                 stderr=subprocess.STDOUT))

    def up(self):
        sh('ip', 'netns', 'add', self.ctl)
        sh('ip', '-n', self.ctl, 'link', 'set', 'lo', 'up')
        sh('ssh-keygen', '-q', '-t', 'ed25519', '-N', '', '-f', self.path('id'))
        sh('ssh-keygen', '-q', '-t', 'ed25519', '-N', '', '-f', self.path('hostkey'))
        shutil.copy(self.path('id.pub'), self.path('authorized_keys'))
        os.makedirs('/run/sshd', exist_ok=True)  # sshd's privilege separation directory
        for site, (net, hosts) in SITES.items():
            lab = self.base + site
            ws = lab + '-ws'
            sh(PYTHON, NETLAB, 'up', lab)
            sh('ip', '-n', self.ctl, 'link', 'add', 's' + site, 'type', 'veth', 'peer', 'name', 'mgmt', 'netns', ws)
            for namespace, ifname, addr in ((self.ctl, 's' + site, net + '.1/24'), (ws, 'mgmt', net + '.2/24')):
                sh('ip', '-n', namespace, 'addr', 'add', addr, 'dev', ifname)
                sh('ip', '-n', namespace, 'link', 'set', ifname, 'up')
            for host, (segment, addr, devices) in hosts.items():
                sh(PYTHON, NETLAB, 'host', lab, host, '--segment', segment, '--addr', addr + '/24')
                self.simulate(lab + '-' + host, site + host, devices)
            self.sshd(ws, site, net + '.2')
        for site, (net, _) in SITES.items():
            self.ssh_ready(net + '.2')

    def simulate(self, namespace, name, devices):
        config, log = self.path(name + '.json'), self.path(name + '.jsonl')
        with open(config, 'w') as f:
            json.dump({'devices': devices}, f)
        self.spawn(namespace, [PYTHON, DEVSIM, '--config', config, '--log', log], name + '.out')
        os.makedirs(self.path(name + '-tftp'))
        with open(self.path('remap'), 'w') as f:
            f.write('r ^/$ fw.bin\n')  # the device's write request names "/"
        self.spawn(namespace, ['/usr/sbin/in.tftpd', '-L', '-c', '-u', 'root', '-s', self.path(name + '-tftp'),
                               '-m', self.path('remap')], name + '.tftpd')
        wait(lambda: os.path.exists(log) and '"ready"' in open(log).read(), 'the simulator ' + name)

    def sshd(self, namespace, site, addr):
        config = self.path('sshd-' + site + '.conf')
        with open(config, 'w') as f:
            f.write('\n'.join(['ListenAddress %s:2222' % addr, 'HostKey ' + self.path('hostkey'),
                               'AuthorizedKeysFile ' + self.path('authorized_keys'),
                               'PidFile ' + self.path('sshd-' + site + '.pid'), 'UsePAM no', 'StrictModes no',
                               'PermitRootLogin prohibit-password', 'PasswordAuthentication no',
                               'KbdInteractiveAuthentication no', 'Subsystem sftp internal-sftp', '']))
        self.spawn(namespace, ['/usr/sbin/sshd', '-D', '-e', '-f', config], 'sshd-' + site + '.log')

    def ssh_args(self):
        return ('-F none -o IdentitiesOnly=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile='
                + self.path('known_hosts'))

    def ssh_ready(self, addr):
        def login():
            command = ['ip', 'netns', 'exec', self.ctl, 'ssh', '-o', 'BatchMode=yes', '-p', '2222', '-i',
                       self.path('id')] + self.ssh_args().split() + ['root@' + addr, 'true']
            return subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
        wait(login, 'sshd at ' + addr)

    def down(self):
        for site in ('a', 'b', 'c'):
            subprocess.run([PYTHON, NETLAB, 'down', self.base + site], check=False)
        for p in self.spawned:
            p.wait()

    def playbook(self):
        inventory = self.path('inventory')
        os.makedirs(inventory)
        sites = {'site_' + s: dict(ansible_host=net + '.2') for s, (net, _) in SITES.items()}
        with open(os.path.join(inventory, '01-sites.yml'), 'w') as f:
            json.dump({'fernwick_sites': {'hosts': sites, 'vars': dict(
                ansible_port=2222, ansible_user='root', ansible_ssh_private_key_file=self.path('id'),
                ansible_ssh_common_args=self.ssh_args(), ansible_python_interpreter=PYTHON,
                fernwick_cli=self.cli)}}, f)
        with open(os.path.join(inventory, '02-devices.fernwick.yml'), 'w') as f:
            f.write('plugin: fernwick.lan.devices\ntimeout: 2\n')
        image = bytearray(os.urandom(300000))
        image[150000:150009] = b'AP Config'  # the marker of an access point's image
        with open(self.path('ap.bin'), 'wb') as f:
            f.write(image)
        return ['ip', 'netns', 'exec', self.ctl, 'ansible-playbook', '-i', inventory, '--diff',
                os.path.join(HERE, 'playbook.yml'), '-e', 'image=' + self.path('ap.bin'),
                '-e', 'report=' + self.path('rollout.json')], bytes(image)


def wait(ready, what, seconds=20):
    end = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > end:
            raise RuntimeError(what + ' did not get ready')
        time.sleep(0.2)


def recap(output):
    """host: {ok, changed, failed, ...} from the PLAY RECAP lines."""
    return {m.group(1): dict((k, int(v)) for k, v in re.findall(r'(\w+)=(\d+)', m.group(2)))
            for m in re.finditer(r'^(\S+)\s+: (ok=.*)$', output, re.M)}


def run(lab):
    env = lab.configure()
    sh('ansible-galaxy', 'collection', 'build', COLLECTION, '--output-path', lab.path('dist'), env=env)
    tarball = os.path.join(lab.path('dist'), os.listdir(lab.path('dist'))[0])
    sh('ansible-galaxy', 'collection', 'install', tarball, '-p', lab.path('collections'), env=env)
    lab.up()
    command, image = lab.playbook()
    recaps = []
    for n in (1, 2):
        done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        print('--- run %d (exit %d) ---\n%s' % (n, done.returncode, done.stdout), flush=True)
        recaps.append(recap(done.stdout))
        if done.returncode != 0:
            return 'run %d failed' % n
    first, second = recaps
    if sorted(first) != ['localhost', 'site_a', 'site_b'] or not (first['site_a']['changed']
                                                                  and first['site_b']['changed']):
        return 'the first run did not change both sites: %s' % first
    if any(r['changed'] or r['failed'] for r in second.values()):
        return 'the second run was not idempotent: %s' % second
    for host in ('bd1', 'bd2'):
        with open(lab.path(host + '-tftp', 'fw.bin'), 'rb') as f:
            if f.read() != image:
                return 'the image at site B %s is not the one uploaded' % host
    with open(lab.path('ad1.jsonl')) as f:
        applied = [e for e in map(json.loads, f) if e['event'] == 'setip-applied']
    if [(e['device'], e['ip']) for e in applied] != [('00:0A:1B:0A:00:01', '10.77.1.50')]:
        return 'site A: not exactly one Set IP, to the planned address: %s' % applied
    return None


def main():
    if os.geteuid() != 0:
        print('SKIPPED: the Ansible lab creates network namespaces and needs root')
        return 77
    missing = [p for p in ('ansible-playbook', 'ansible-galaxy', 'ssh', 'ssh-keygen', '/usr/sbin/sshd')
               if not shutil.which(p)]
    if missing:
        print('SKIPPED: install ansible-core and openssh-server (missing: %s)' % ', '.join(missing))
        return 77
    tmp = tempfile.mkdtemp(prefix='fernwick-ansible-')
    lab = Lab(tmp, os.path.abspath(sys.argv[1]))
    try:
        problem = run(lab)
    finally:
        lab.down()
        shutil.rmtree(tmp)
    if problem:
        print('FAILED: ' + problem)
        return 1
    print('PASSED: devices found at both sites, plan applied at A, two devices upgraded at B; second run changed=0')
    return 0


if __name__ == '__main__':
    sys.exit(main())
