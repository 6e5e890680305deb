#!/usr/bin/env bash
# Installs what is needed, builds, and shows the revision-control plug-in at work in the demo host:
#   scripts/demo.sh                 the headless walkthrough into ./demo-output (pictures and a log)
#   scripts/demo.sh --interactive   the demo application itself, when a display is present
# Further arguments go to zrdemo (e.g. --https, --user bob, --data DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

interactive=0
args=()
for arg in "$@"; do
    if [[ $arg == --interactive ]]; then interactive=1; else args+=("$arg"); fi
done

# Set before the build too: test discovery starts Qt programs, which ask for it.
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build"
source "$root/scripts/own-servers.sh"

demo="$build/apps/demo/zrdemo"
if ((interactive)); then
    if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
        echo "demo.sh: --interactive needs a display (DISPLAY or WAYLAND_DISPLAY)" >&2
        exit 2
    fi
    exec "$demo" --interactive "${args[@]}"
fi

out="$PWD/demo-output"
status=0
"$demo" --walkthrough --out "$out" "${args[@]}" || status=$?
# The demo stops the server it started; none may outlive it.
zr_no_server_left demo.sh || status=1
exit "$status"
