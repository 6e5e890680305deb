#!/bin/sh
# The demo's memory over many refreshes of a large working copy: zrdemo (offscreen) refreshes a
# project of ASSETS assets (default 100,000) REFRESHES times (default 50), served from a file://
# repository as tests/demo/large_project.sh builds it, and tells its resident memory after the 2nd
# and after the last refresh. Fails when the last is more than 10% above the 2nd.
#   scripts/soak.sh [ZRDEMO [ASSETS [REFRESHES]]]   (ZRDEMO default: build/apps/demo/zrdemo)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
zrdemo=${1:-"$root/build/apps/demo/zrdemo"}
assets=${2:-100000}
refreshes=${3:-50}
allowed_percent=10
out=$(sh "$root/tests/demo/large_project.sh" "$zrdemo" "$assets" --refreshes "$refreshes")
# The start-up's load and the last refresh's, then the memory.
echo "$out" | grep "^zrdemo: $assets assets: " | sed -n '1p;$p'
echo "$out" | grep "VmRSS"
second=$(echo "$out" | sed -n "s/^zrdemo: after refresh 2 of $refreshes: VmRSS \([0-9]*\) kB$/\1/p")
last=$(echo "$out" | sed -n "s/^zrdemo: after refresh $refreshes of $refreshes: VmRSS \([0-9]*\) kB$/\1/p")
if [ -z "$second" ] || [ -z "$last" ]; then
    echo "soak: zrdemo did not tell its memory after refresh 2 and $refreshes" >&2
    exit 1
fi
echo "soak: $assets assets, $refreshes refreshes: VmRSS $second kB after the 2nd, $last kB after the last"
if [ $((last * 100)) -gt $((second * (100 + allowed_percent))) ]; then
    echo "soak: the resident memory grew more than $allowed_percent% from the 2nd refresh to the last" >&2
    exit 1
fi
