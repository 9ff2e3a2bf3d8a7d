#!/usr/bin/python
# -*- coding: utf-8 -*-
"""Ansible module: the cameras on the managed host's LAN, as facts."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: fleetset_facts
short_description: The cameras of a site's LAN as facts
description:
  - Runs C(fleetset-cli discover) on the managed host and sets the fact C(fleetset_cameras),
    one object per camera found, in the order found.
  - Sends only the discovery search; changes nothing.
version_added: "0.1.0"
author: fleetset developers
options:
  cli_command:
    description:
      - How to start C(fleetset-cli) on the managed host, split as a shell would split it.
    type: str
    default: fleetset-cli
  seconds:
    description: How long to listen for replies.
    type: float
    default: 3
  interface:
    description: Local IPv4 address to search from; default every local address.
    type: str
notes:
  - Supports check mode; the search runs in it too, as it changes nothing.
'''

EXAMPLES = r'''
- name: List the site's cameras
  fleetset.cameras.fleetset_facts:
    seconds: 5

- name: Show the versions
  ansible.builtin.debug:
    msg: "{{ fleetset_cameras | map(attribute='software_ver') | list }}"
'''

RETURN = r'''
ansible_facts:
  description: Facts set on the host.
  returned: success
  type: complex
  contains:
    fleetset_cameras:
      description:
        - One object per camera with C(mac), C(ip), C(cmd_port), C(media_port), C(http_port),
          C(phone_port), C(ipc_type), C(board_type), C(device_type), C(subnet_mask),
          C(gateway) and C(software_ver).
      returned: success
      type: list
      elements: dict
'''

import json

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fleetset.cameras.plugins.module_utils.fleetset_cli import CLI_COMMAND_OPTION, cli_argv


def main():
    module = AnsibleModule(
        argument_spec=dict(
            cli_command=CLI_COMMAND_OPTION,
            seconds=dict(type='float', default=3),
            interface=dict(type='str'),
        ),
        supports_check_mode=True,
    )
    cmd = cli_argv(module) + ['discover', '--format', 'json', '--seconds', str(module.params['seconds'])]
    if module.params['interface']:
        cmd += ['--interface', module.params['interface']]
    rc, stdout, stderr = module.run_command(cmd)
    if rc != 0:
        module.fail_json(msg='fleetset-cli discover failed: %s' % stderr.strip(), rc=rc, cmd=cmd)
    try:
        cameras = json.loads(stdout)
    except ValueError:
        module.fail_json(msg='fleetset-cli discover printed no JSON list', rc=rc, cmd=cmd)
    module.exit_json(changed=False, ansible_facts=dict(fleetset_cameras=cameras))


if __name__ == '__main__':
    main()
