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
