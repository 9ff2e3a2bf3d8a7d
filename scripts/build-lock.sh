#!/usr/bin/env bash
# Runs a command while holding the project's build lock, so that builds on this two-core
# machine take turns:  scripts/build-lock.sh cmake --build --preset default
exec flock /tmp/fleetset-build.lock "$@"
