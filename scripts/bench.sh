#!/usr/bin/env bash
# Installs what is needed, builds RelWithDebInfo, and runs the benchmark: the plug-in's flows against
# a local svnserve beside their floors, as one markdown table. Arguments name cases to run alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build-bench" -DZR_BUILD_TESTS=OFF
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi
source "$root/scripts/own-servers.sh"
status=0
"$root/build-bench/apps/bench/zrbench" "$@" || status=$?
zr_no_server_left bench.sh || exit 1
exit "$status"
