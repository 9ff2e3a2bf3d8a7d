#!/usr/bin/python
# -*- coding: utf-8 -*-
"""Ansible module: one fleetset job on the cameras of the managed host's LAN."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: fleetset_job
short_description: Run one fleetset job on the cameras of a site's LAN
description:
  - Runs C(fleetset-cli run) on the managed host, which sits on the site's camera LAN, and
    returns its JSON report and summary.
  - Discovery is a broadcast that does not leave the LAN, so each site runs its own job;
    Ansible runs many sites at once, in rolling batches.
  - In check mode the job is planned with C(--dry-run). The cameras are searched for and the
    options checked, and nothing is sent to any camera.
  - With C(only_outdated), an upgrade to a version every selected camera already runs
    changes nothing, so a playbook can be run again safely.
  - Long jobs can run with Ansible's C(async) and C(poll).
version_added: "0.1.0"
author: fleetset developers
options:
  cli_command:
    description:
      - How to start C(fleetset-cli) on the managed host, split as a shell would split it.
      - A path, or a command prefix that ends in the program, for example one that enters the
        network namespace of the camera LAN.
    type: str
    default: fleetset-cli
  firmware:
    description: Upgrade the firmware with this C(*.update) file on the managed host (C(--upgrade)).
    type: path
  ip_range:
    description: Give each camera an address from C(FIRST-LAST) (C(--ip-range)).
    type: str
  sync_time:
    description: Set each camera's clock to the managed host's local time (C(--sync-time)).
    type: bool
    default: false
  time_zone:
    description: Time zone in whole hours east of UTC, -12 to 12 (C(--time-zone)).
    type: int
  settings:
    description:
      - Device settings, each passed as its C(fleetset-cli run) flag.
    type: dict
    suboptions:
      time_format:
        description: 0 to 3 (C(--time-format)).
        type: int
      video_standard:
        description: C(ntsc) or C(pal) (C(--video-standard)).
        type: str
        choices: [ntsc, pal]
      language:
        description: 0 to 20 or an English language name (C(--language)).
        type: str
      wifi_max_channel:
        description: 10 to 14 (C(--wifi-max-channel)).
        type: int
      wifi_default_channel:
        description: 1 to 14 or C(auto) (C(--wifi-default-channel)).
        type: str
  command:
    description: Run this shell command on each camera (C(--command)).
    type: str
  all_devices:
    description: Every camera found (C(--all)).
    type: bool
    default: false
  macs:
    description: The cameras with these MAC addresses (C(--mac)).
    type: list
    elements: str
  ips:
    description: The cameras with these addresses (C(--ip)).
    type: list
    elements: str
  retry_failed:
    description:
      - A JSON report of an earlier job on the managed host; only the cameras it left failed or
        unfinished are worked on (C(--retry-failed)).
    type: path
  only_outdated:
    description: With C(firmware), leave out the cameras that already run its version.
    type: bool
    default: false
  parallel:
    description: Cameras worked on at once, 1 to 100 (C(--parallel)).
    type: int
  seconds:
    description: How long to search for cameras before the job starts (C(--seconds)).
    type: float
  interface:
    description: Local IPv4 address to search from (C(--interface)).
    type: str
  user:
    description: Login user name of the cameras.
    type: str
    default: Admin
  password:
    description: Login password of the cameras; handed over in the environment, never in the arguments.
    type: str
  history:
    description: Job history database on the managed host (C(--history)); default the user's.
    type: path
  no_history:
    description: Keep this job out of the job history (C(--no-history)).
    type: bool
    default: false
  max_failed_devices:
    description:
      - How many cameras may fail (a failed step, no end report, named but not found, no
        version) before the task fails.
    type: int
    default: 0
notes:
  - Supports check mode (C(--dry-run)).
  - The job runs on the managed host, so the firmware file must be there (copy it first).
'''

EXAMPLES = r'''
- name: Every camera of the site runs 2.5.0
  fleetset.cameras.fleetset_job:
    firmware: /srv/firmware/cam-2.5.0.update
    all_devices: true
    only_outdated: true
    sync_time: true
    time_zone: 1
    password: "{{ vault_camera_password }}"
  register: site_job

- name: New addresses for three cameras, run in the background
  fleetset.cameras.fleetset_job:
    macs: ["00:1A:2B:00:00:01", "00:1A:2B:00:00:02", "00:1A:2B:00:00:03"]
    ip_range: 192.168.40.10-192.168.40.20
    settings:
      video_standard: pal
  async: 1800
  poll: 15

- name: Try the cameras that failed last time again
  fleetset.cameras.fleetset_job:
    firmware: /srv/firmware/cam-2.5.0.update
    retry_failed: /var/lib/fleetset/last-report.json
'''

RETURN = r'''
changed:
  description: At least one camera had a step done (in check mode, at least one would be worked on).
  returned: always
  type: bool
devices:
  description:
    - The job's JSON report, one object per camera with C(mac), C(ip_before), C(ip_after),
      C(version_before), C(version_after), C(steps) (a word per step C(ok), C(failed),
      C(skipped) or empty), C(message), C(status_codes), C(seconds), C(end_reports), C(stopped).
    - In check mode the plan instead, one object per camera with C(mac), C(ip), C(version),
      C(protocol), C(action), C(steps), C(new_ip).
  returned: when the job got as far as its report
  type: list
  elements: dict
summary:
  description:
    - Counts of the job, C(devices), C(done), C(failed), C(unsupported), C(not_found),
      C(up_to_date), C(changed), C(planned), and its C(exit_code), C(started) and C(ended) (UTC).
  returned: when fleetset-cli wrote it
  type: dict
rc:
  description: Exit code of fleetset-cli, 0 every camera ended with no failed step, 1 otherwise, 2 refused (nothing sent).
  returned: always
  type: int
stderr_lines:
  description: What fleetset-cli said on standard error (progress, refusals, cameras left out).
  returned: always
  type: list
  elements: str
cmd:
  description: The command that ran (the password is never in it).
  returned: always
  type: list
  elements: str
'''

import json
import os
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.fleetset.cameras.plugins.module_utils.fleetset_cli import CLI_COMMAND_OPTION, cli_argv

SETTING_FLAGS = [
    ('time_format', '--time-format'),
    ('video_standard', '--video-standard'),
    ('language', '--language'),
    ('wifi_max_channel', '--wifi-max-channel'),
    ('wifi_default_channel', '--wifi-default-channel'),
]


def run_arguments(params):
    """The arguments of `fleetset-cli run` for the module's options."""
    args = []
    valued = [('firmware', '--upgrade'), ('ip_range', '--ip-range'), ('time_zone', '--time-zone'),
              ('command', '--command'), ('retry_failed', '--retry-failed'), ('parallel', '--parallel'),
              ('seconds', '--seconds'), ('interface', '--interface'), ('user', '--user'), ('history', '--history')]
    for name, flag in valued:
        if params[name] is not None:
            args += [flag, str(params[name])]
    for name, flag in SETTING_FLAGS:
        value = (params['settings'] or {}).get(name)
        if value is not None:
            args += [flag, str(value)]
    flags = [('sync_time', '--sync-time'), ('all_devices', '--all'), ('only_outdated', '--only-outdated'),
             ('no_history', '--no-history')]
    args += [flag for name, flag in flags if params[name]]
    if params['macs']:
        args += ['--mac', ','.join(params['macs'])]
    if params['ips']:
        args += ['--ip', ','.join(params['ips'])]
    return args


def read_json(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (IOError, OSError, ValueError):
        return None


def main():
    module = AnsibleModule(
        argument_spec=dict(
            cli_command=CLI_COMMAND_OPTION,
            firmware=dict(type='path'),
            ip_range=dict(type='str'),
            sync_time=dict(type='bool', default=False),
            time_zone=dict(type='int'),
            settings=dict(type='dict', options=dict(
                time_format=dict(type='int'),
                video_standard=dict(type='str', choices=['ntsc', 'pal']),
                language=dict(type='str'),
                wifi_max_channel=dict(type='int'),
                wifi_default_channel=dict(type='str'),
            )),
            command=dict(type='str'),
            all_devices=dict(type='bool', default=False),
            macs=dict(type='list', elements='str'),
            ips=dict(type='list', elements='str'),
            retry_failed=dict(type='path'),
            only_outdated=dict(type='bool', default=False),
            parallel=dict(type='int'),
            seconds=dict(type='float'),
            interface=dict(type='str'),
            user=dict(type='str', default='Admin'),
            password=dict(type='str', no_log=True),
            history=dict(type='path'),
            no_history=dict(type='bool', default=False),
            max_failed_devices=dict(type='int', default=0),
        ),
        mutually_exclusive=[('all_devices', 'macs', 'ips', 'retry_failed'), ('history', 'no_history')],
        required_by={'only_outdated': 'firmware'},
        supports_check_mode=True,
    )
    params = module.params
    if not (params['all_devices'] or params['macs'] or params['ips'] or params['retry_failed']):
        module.fail_json(msg='name the cameras: all_devices, macs, ips or retry_failed')

    work = tempfile.mkdtemp(prefix='fleetset-job-')
    try:
        report_path = os.path.join(work, 'report.json')
        summary_path = os.path.join(work, 'summary.json')
        cmd = cli_argv(module) + ['run'] + run_arguments(params)
        cmd += ['--format', 'json', '--report-file', report_path, '--summary-file', summary_path]
        if module.check_mode:
            cmd.append('--dry-run')
        # The password goes through the environment: arguments are visible to every user.
        environ = {'FLEETSET_PASSWORD': params['password'] or ''}
        # The trace files discovery writes in the working directory go with the rest.
        rc, dummy, stderr = module.run_command(cmd, environ_update=environ, cwd=work)
        devices = read_json(report_path)
        summary = read_json(summary_path)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    result = dict(cmd=cmd, rc=rc, stderr_lines=stderr.splitlines(), devices=devices or [], summary=summary or {},
                  changed=False)
    if summary is None or rc == 2:
        lines = result['stderr_lines']
        module.fail_json(msg='fleetset-cli refused the job: %s' % (lines[-1] if lines else 'exit code %d' % rc), **result)
    if module.check_mode:
        result['changed'] = summary.get('planned', 0) > 0
    else:
        result['changed'] = summary.get('changed', 0) > 0
    failures = summary.get('failed', 0) + summary.get('not_found', 0)
    if failures > params['max_failed_devices']:
        module.fail_json(msg='%d of the site\'s cameras failed or were not found (at most %d allowed)'
                         % (failures, params['max_failed_devices']), **result)
    if rc != 0 and failures == 0:
        lines = result['stderr_lines']
        module.fail_json(msg='fleetset-cli failed: %s' % (lines[-1] if lines else 'exit code %d' % rc), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
