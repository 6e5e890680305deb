#!/bin/sh
# zrdemo on a working copy too large to fill its window at once: the rows come in batches, the
# server's states from one query on a thread of its own, and the picture is taken once they are in.
# large_project.sh ZRDEMO ASSETS [ZRDEMO-OPTIONS...]   (scripts/soak.sh adds --refreshes N)
set -eu
zrdemo=$1
assets=$2
shift 2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
[ -z "${ZR_KEEP_PICTURE:-}" ] || trap 'cp "$dir/window.png" "$ZR_KEEP_PICTURE"; rm -rf "$dir"' EXIT
svn_quiet() { svn --non-interactive --config-dir "$dir/config" -q "$@"; }
svnadmin create "$dir/repo"
folders=$(( (assets + 99) / 100 ))
i=0
for d in $(seq 1 "$folders"); do
    mkdir -p "$dir/seed/d$d"
    for n in $(seq 1 100); do
        [ "$i" -lt "$assets" ] || break
        echo asset > "$dir/seed/d$d/a$i.qor"
        i=$((i + 1))
    done
done
svn_quiet import -m "benchmark assets" "$dir/seed" "file://$dir/repo"
svn_quiet checkout "file://$dir/repo" "$dir/wc"
svn_quiet lock "$dir/wc/d1/a0.qor"
out=$(unset DISPLAY WAYLAND_DISPLAY; HOME="$dir/home" XDG_DATA_HOME="$dir/data" QT_QPA_PLATFORM=offscreen \
      "$zrdemo" --server "file://$dir/repo" --user bob --workspace "$dir/wc" --screenshot "$dir/window.png" "$@" 2>&1)
echo "$out"
echo "$out" | grep -q "^zrdemo: $assets assets: first rows after [0-9]* ms, every row after [0-9]* ms, the server's states after"
test -s "$dir/window.png"
