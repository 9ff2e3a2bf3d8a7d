# -*- coding: utf-8 -*-
"""What the fleetset modules share: how to reach fleetset-cli on the managed host."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import shlex

CLI_COMMAND_OPTION = dict(type='str', default='fleetset-cli')


def cli_argv(module):
    """The argument vector that starts fleetset-cli: the cli_command option split as a shell would."""
    argv = shlex.split(module.params['cli_command'])
    if not argv:
        module.fail_json(msg='cli_command is empty')
    return argv
