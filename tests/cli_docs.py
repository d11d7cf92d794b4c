#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual page and the bash and zsh completions name the commands, options and short forms that
# fernwick-cli's --help lists, and no others: an option added to the table alone fails here.
import re
import subprocess
import sys

cli, source = sys.argv[1:3]
failures = []


def check(what, documented, helped):
    extra, missing = set(documented) - set(helped), set(helped) - set(documented)
    if extra or missing:
        failures.append(f'{what}: only in --help {sorted(missing)}, only in the file {sorted(extra)}')


def listed(*command):
    """A help text's long options, (short, long) pairs, options that take a value, and the text."""
    text = subprocess.run([cli, 'help', *command], capture_output=True, text=True, check=True).stdout
    lines = re.findall(r'^  (?:(-\w),)?(--[\w-]+)( \S+)?', text, re.M)
    return {o for _, o, _ in lines}, {(s, o) for s, o, _ in lines if s}, {o for _, o, v in lines if v}, text


top = listed()
commands = re.findall(r'^  ([\w-]+)  ', top[3].split('Commands:')[1], re.M)
each = {c: listed(c) for c in commands}


def every(i):
    return set().union(top[i], *(o[i] for o in each.values()))


man = open(f'{source}/man/fernwick-cli.1.scd', encoding='utf-8').read()
option_lines = '\n'.join(re.findall(r'^\*-.*', man.split('# OPTIONS')[1].split('\n# ')[0], re.M))
check('man: options', re.findall(r'\*(--[\w-]+)\*', option_lines), every(0))
check('man: short forms', re.findall(r'\*(-\w)\*, \*(--[\w-]+)\*', option_lines), every(1))
check('man: commands', re.findall(r'^\*([\w-]+)\*', man.split('# COMMANDS')[1].split('\n# ')[0], re.M),
      commands + ['help'])

bash = open(f'{source}/completion/fernwick-cli.bash', encoding='utf-8').read()
lists = dict(re.findall(r'^\s*"?([\w-]*)"?\) options="([^"]*)"', bash, re.M))
check('bash: commands', lists.keys() - {''}, commands)
check('bash: options that take a value', re.findall(r'--[\w-]+', ' '.join(re.findall(r'^.*\) skip=1', bash, re.M))),
      every(2))
for command, options in [('', top)] + list(each.items()):
    check(f'bash: {command or "no command"}', lists.get(command, '').split(), options[0])

zsh = open(f'{source}/completion/_fernwick-cli', encoding='utf-8').read()
check('zsh: commands', re.findall(r"'([\w-]+):", zsh.split('commands=(')[1].split(')')[0]), commands + ['help'])
sections = dict(re.findall(r'^ {8}([\w-]+)\)\n(.*?);;', zsh, re.M | re.S))
for command, options in each.items():
    specs = re.sub(r'\[[^]]*\]|\([^)]*\)', '', sections.get(command, '')) + '{-h,--help}'  # $common
    check(f'zsh: {command}', re.findall(r'--[\w-]+', specs), options[0])
    check(f'zsh: short forms of {command}', re.findall(r'\{(-\w)\+?,(--[\w-]+)=?\}', specs), options[1])

print('\n'.join(failures) or 'the manual page and the completions match --help')
sys.exit(1 if failures else 0)
