#!/usr/bin/env bash
# Installs what is needed, builds, and runs the load run: simulated users (separate processes,
# each with its own working copy and backend) on one svnserve of its own on 127.0.0.1, with the
# server frozen, a user killed mid-submit and the server killed and restarted on the way; then every
# journal is checked against the repository. Prints a table and exits non-zero on any violation.
#   scripts/load.sh [--users N] [--seconds S] [--assets N] [--https | --replica] [--rtt MS]
#   (defaults: 8 users, 60 s, 200 assets, svnserve; --replica: a master and a replica over TLS,
#   every other user through the replica; --rtt: the users reach the servers through a relay that
#   puts that round trip on every turn)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build-bench" -DZR_BUILD_TESTS=OFF
source "$root/scripts/own-servers.sh"
status=0
"$root/build-bench/apps/load/zrload" "$@" || status=$?
zr_no_server_left load.sh || status=1
exit "$status"
