# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    # The options of module_utils.fernwick.COMMON_ARGS, which every module takes.
    DOCUMENTATION = r'''
options:
  fernwick_cli:
    description: The program, a path or a name looked up in C(PATH).
    type: str
    default: fernwick-cli
  interfaces:
    description: Work on these adapters only (all usable adapters when empty).
    type: list
    elements: str
    default: []
'''

    # module_utils.fernwick.TARGET_ARGS, for the modules whose command searches.
    TARGETS = r'''
options:
  targets:
    description:
      - Also send the discovery request by unicast to these, each an address, a block C(A/N) or a
        range C(A-B), also behind a router (C(--target)). A device that answers only by broadcast
        is not reached that way.
    type: list
    elements: str
    default: []
  targets_from:
    description: The targets from this file on the managed host, one a line (C(--targets-from)).
    type: path
'''
