#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: upgrade
short_description: Upload a firmware image to one device or roll it out to many
version_added: 2.3.0
description:
  - Runs a rollout, C(fernwick-cli upgrade IMAGE --device D... --report REPORT --skip-done REPORT),
    on the managed host and returns its report.
  - A device the report lists as done with this image (the same SHA-256) is left out, so the task is
    C(changed) only when an image was uploaded, and a second run uploads nothing.
  - Fails when a device is not done (refused, timed out, not back, not found...), with the report.
options:
  image:
    description: The firmware image, a path on the managed host.
    type: path
    required: true
  device:
    description: One device, by IP or MAC address.
    type: str
  devices:
    description: The devices of the rollout, by IP or MAC address; none is nothing to do.
    type: list
    elements: str
  all:
    description: Every access point (C(ap)) or every bridge (C(bridge)) a search finds.
    type: str
    choices: [ap, bridge]
  report:
    description:
      - The rollout's report (JSON) on the managed host, rewritten after every device; it records
        what is done. Its folder must exist.
      - Defaults to the image's path with C(.report.json) added.
    type: path
  force:
    description: Upload even when the image does not carry the marker of the device's kind.
    type: bool
    default: false
  parallel:
    description: Up to this many uploads at once, at most I(per_adapter) of them on one adapter.
    type: int
    default: 1
  per_adapter:
    description:
      - Up to this many of the uploads at once on one adapter (C(--per-adapter), 1 to 16); they
        share the adapter's UDP port 14321.
    type: int
    default: 1
  back_timeout:
    description: Seconds a device has to restart and answer again after its upload.
    type: float
    default: 60
  no_restart:
    description: The devices do not restart after an upload; an answer is enough to be done.
    type: bool
    default: false
attributes:
  check_mode:
    description:
      - Runs the rollout with C(--dry-run), which does all a real run does before sending (reads and
        checks the image, the report and its folder, searches, matches the report's done devices by
        MAC, checks the image against each device's kind) and uploads nothing. A device that would
        fail fails the task as the real run would; one that would get the image is in I(uploaded),
        with I(state) C(pending).
    support: full
  diff_mode:
    description: Returns no diff.
    support: none
notes:
  - I(force) is the program's C(--yes).
  - About 13 s of device preparation come before each upload.
  - I(all=bridge) is the program's C(--all-bridge), the devices the inventory groups as
    C(kind_bridge).
extends_documentation_fragment:
  - fernwick.lan.common
  - fernwick.lan.common.targets
author:
  - Fernwick developers (!UNKNOWN)
'''

EXAMPLES = r'''
- name: Two access points, side by side on different adapters
  fernwick.lan.upgrade:
    image: /srv/firmware/ap-2.3.bin
    devices: [00-0A-1B-00-00-01, 10.77.2.20]
    report: /srv/firmware/yard.json
    parallel: 2

- name: Every bridge at the site
  fernwick.lan.upgrade:
    image: /srv/firmware/bridge-2.3.bin
    all: bridge
'''

RETURN = r'''
devices:
  description:
    - The report's devices, with C(target), C(mac), C(ip), C(name), C(adapter), C(state), C(detail),
      C(bytes), C(upload_seconds), C(back_seconds), C(retransmissions), C(timeouts) and C(earlier).
    - In check mode a device that would get the image has I(state) C(pending).
  returned: always
  type: list
  elements: dict
uploaded:
  description: The targets whose image was uploaded by this task (in check mode, would be).
  returned: always
  type: list
  elements: str
report:
  description: The report's path.
  returned: always
  type: str
image_sha256:
  description: The image's SHA-256.
  returned: always
  type: str
stdout:
  description: What C(fernwick-cli upgrade) printed, the report's document as JSON (C(--format json)).
  returned: when the program ran
  type: str
stderr:
  description: Its messages, one per line, such as each device's progress and the reason it is not done.
  returned: when the program ran
  type: str
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fernwick.lan.plugins.module_utils.fernwick import (
    COMMON_ARGS, TARGET_ARGS, fail, interface_args, read_json, run, target_args)


def main():
    module = AnsibleModule(
        argument_spec=dict(COMMON_ARGS, image=dict(type='path', required=True), device=dict(type='str'),
                           devices=dict(type='list', elements='str'), all=dict(type='str', choices=['ap', 'bridge']),
                           report=dict(type='path'), force=dict(type='bool', default=False),
                           parallel=dict(type='int', default=1), per_adapter=dict(type='int', default=1),
                           back_timeout=dict(type='float', default=60), no_restart=dict(type='bool', default=False),
                           **TARGET_ARGS),
        mutually_exclusive=[('device', 'devices', 'all')],
        required_one_of=[('device', 'devices', 'all')],
        supports_check_mode=True)
    p = module.params
    report = p['report'] or p['image'] + '.report.json'
    if not os.path.isfile(p['image']):
        module.fail_json(msg='%s: no such image' % p['image'])
    targets = [p['device']] if p['device'] else p['devices'] or []
    result = dict(changed=False, report=report, image_sha256=None, devices=[], uploaded=[])
    if not p['all'] and not targets:
        module.exit_json(**result)  # an empty group of devices: nothing to do

    args = ['upgrade', p['image'], '--report', report, '--skip-done', report, '--format', 'json',
            '--parallel', str(p['parallel']), '--per-adapter', str(p['per_adapter']),
            '--back-timeout', str(p['back_timeout'])]
    args += ['--all-' + p['all']] if p['all'] else [a for t in targets for a in ('--device', t)]
    args += (['--yes'] if p['force'] else []) + (['--no-restart'] if p['no_restart'] else [])
    args += interface_args(module) + target_args(module) + (['--dry-run'] if module.check_mode else [])
    rc, out, err = run(module, args)
    if rc not in (0, 1) or not out.strip():
        fail(module, 'upgrade', rc, out, err, **result)
    document = read_json(module, 'upgrade', rc, out, err)
    result.update(stdout=out, stderr=err, image_sha256=document.get('image_sha256'),
                  devices=document.get('devices', []))
    # In check mode pending is what would be uploaded; for real, what sent bytes in this run.
    result['uploaded'] = [e['target'] for e in result['devices'] if not e.get('earlier') and
                          (e.get('state') == 'pending' or e.get('bytes', 0) > 0)]
    result['changed'] = bool(result['uploaded'])
    undone = ['%s %s%s' % (e['target'], e['state'], ' (%s)' % e['detail'] if e.get('detail') else '')
              for e in result['devices'] if e.get('state') not in ('done', 'pending')]
    if rc != 0 and undone:
        module.fail_json(msg='not done: ' + ', '.join(undone), rc=rc, **result)
    if rc != 0:
        fail(module, 'upgrade', rc, out, err, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
