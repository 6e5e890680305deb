#!/usr/bin/env bash
# Installs what is needed, builds RelWithDebInfo, and runs the benchmark: the plug-in's flows against
# a local svnserve beside their floors, as one markdown table. Arguments name cases to run alone.
#
#   bench.sh [case ...]
#   bench.sh remote [--rtt 0,50,100,200]   the daily operations through a relay with distance, over
#                                          svn:// and https://, beside the svn client (default 0,100),
#                                          then behind a replica 6 ms away whose master is 200 ms away
#
# ZR_BENCH_BUILD names an existing build folder to run instead of installing and building.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZR_BENCH_BUILD:-}
if [[ -z $build ]]; then
    bash "$root/scripts/install-deps.sh"
    build="$root/build-bench"
    bash "$root/scripts/build.sh" "$build" -DZR_BUILD_TESTS=OFF
fi
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi
source "$root/scripts/own-servers.sh"
status=0
if [[ ${1:-} == remote ]]; then
    shift
    "$build/apps/bench/zrbench" --remote "$@" || status=$?
    [[ $status -ne 0 ]] || "$build/apps/bench/zrbench" --remote --https "$@" || status=$?
    [[ $status -ne 0 ]] || "$build/apps/bench/zrbench" --remote --replica || status=$?
else
    "$build/apps/bench/zrbench" "$@" || status=$?
fi
zr_no_server_left bench.sh || exit 1
exit "$status"
