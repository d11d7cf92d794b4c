#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""fernwick-cli's --help, its manual page and its bash and zsh completion name the same commands,
options and short forms: a change to the options table that the documents miss fails here."""
import re
import subprocess
import sys

cli, source = sys.argv[1], sys.argv[2]
failures = []


def read(path):
    with open(f'{source}/{path}', encoding='utf-8') as f:
        return f.read()


def check(what, documented, helped):
    if documented != helped:
        failures.append(f'{what}: only in --help {sorted(helped - documented)}, '
                        f'only in the file {sorted(documented - helped)}')


def helped(*command):
    """The long options of a --help text and its short forms ({'-i': '--interface'})."""
    text = subprocess.run([cli, 'help', *command] if command else [cli, '--help'],
                          capture_output=True, text=True, check=True).stdout
    lines = re.findall(r'^  (-\w,)?(--[\w-]+)( \S+)?', text, re.M)
    return ({long for _, long, _ in lines}, {s[:-1]: long for s, long, _ in lines if s},
            {long for _, long, value in lines if value}, text)


top, top_short, _, top_text = helped()
commands = re.findall(r'^  (\w[\w-]*)  ', top_text.split('Commands:')[1], re.M)
per_command = {c: helped(c) for c in commands}

man = read('man/fernwick-cli.1.scd')
man_options = man.split('# OPTIONS')[1].split('\n# ')[0]
check('man page: options', set(re.findall(r'\*(--[\w-]+)\*', '\n'.join(re.findall(r'^\*-.*', man_options, re.M)))),
      top.union(*(o for o, *_ in per_command.values())))
check('man page: short forms', set(re.findall(r'^\*(-\w)\*, \*(--[\w-]+)\*', man_options, re.M)),
      set(top_short.items()).union(*(s.items() for _, s, *_ in per_command.values())))
man_commands = man.split('# COMMANDS')[1].split('\n# ')[0]
check('man page: commands', set(re.findall(r'^\*(\w[\w-]*)\*', man_commands, re.M)), set(commands) | {'help'})

bash = read('completion/fernwick-cli.bash')
bash_options = dict(re.findall(r'^\s*"?([\w-]*)"?\) options="([^"]*)"', bash, re.M))
check('bash: commands', set(bash_options) - {''}, set(commands))
check('bash: top level', set(bash_options.get('', '').split()), top)
skipped = set(re.findall(r'--[\w-]+', '\n'.join(re.findall(r'^.*\) skip=1 ;;', bash, re.M))))
for command, (options, short, valued, _) in per_command.items():
    check(f'bash: {command}', set(bash_options.get(command, '').split()), options)
    check(f'bash: options of {command} that take a value', skipped & options, valued)

zsh = read('completion/_fernwick-cli')
check('zsh: commands', set(re.findall(r"'([\w-]+):", zsh.split('commands=(')[1].split(')')[0])) - {'help'},
      set(commands))
sections = dict(re.findall(r'^ {8}([\w-]+)\)\n(.*?);;', zsh, re.M | re.S))
for command, (options, short, _, _) in per_command.items():
    specs = re.sub(r'\[[^]]*\]|\([^)]*\)', '', sections.get(command, ''))  # no descriptions or exclusions
    check(f'zsh: {command}', set(re.findall(r'--[\w-]+', specs)) | {'--help'}, options)
    check(f'zsh: short forms of {command}', set(re.findall(r'\{(-\w)\+?,(--[\w-]+)=?\}', specs)) |
          {('-h', '--help')}, set(short.items()))

print('\n'.join(failures) or 'the manual page and the completions match --help')
sys.exit(1 if failures else 0)
