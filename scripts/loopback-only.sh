#!/usr/bin/env bash
# Runs a command in a network namespace of its own whose only interface is loopback (up, with
# 127.0.0.0/8 and ::1): whatever the command starts can reach this machine's loopback
# addresses inside the namespace and nothing else, so a setting that would let a test part talk
# to the network fails instead of leaking. Needs root.
#   scripts/loopback-only.sh scripts/wine-session.sh ctest --preset windows -L active-directory
set -euo pipefail
exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' loopback-only "$@"
