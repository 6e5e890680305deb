#!/bin/sh
# zrdemo started again on a working copy a killed program left locked: the log-in at start-up cleans
# it up, and the window's status bar tells so from its first picture, as the host log does.
#   dead_program_lock.sh ZRDEMO
set -eu
zrdemo=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
run() {
    unset DISPLAY WAYLAND_DISPLAY
    HOME="$dir/home" XDG_DATA_HOME="$dir/xdg" QT_QPA_PLATFORM=offscreen \
        "$zrdemo" --interactive --data "$dir/data" --screenshot "$dir/window.png" 2>&1
}
run >/dev/null
wc="$dir/data/wc-alice"
# The lock a program holds while it works in the working copy, as it stays when it is killed.
sqlite3 "$wc/.svn/wc.db" "INSERT INTO wc_lock (wc_id, local_dir_relpath, locked_levels) VALUES (1, '', -1)"
svn status --config-dir "$dir/config" "$wc" | grep -q '^  L '
out=$(run)
echo "$out"
echo "$out" | grep -qx "zrdemo: status bar: The working copy $wc was left locked by a program that ended; it was cleaned up\."
! svn status --config-dir "$dir/config" "$wc" | grep -q '^  L '
