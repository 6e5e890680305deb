#!/bin/sh
# Compiles and links the Windows shell code with mingw-w64; nothing here can run it.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
compiler=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! command -v "$compiler" >/dev/null 2>&1; then
    echo "check-windows-shell: $compiler not found (install g++-mingw-w64-x86-64)" >&2
    exit 2
fi

"$compiler" -std=c++17 -Wall -Wextra -Werror -static \
    -I "$root/framework/src/zrrevisioncontrol" \
    -o "$out/windowsshell.exe" \
    "$root/framework/src/zrrevisioncontrol/ShowItemsInFolder_win.cpp" \
    "$root/tests/windowsshell/main.cpp" \
    -lole32 -lshell32
echo "check-windows-shell: ShowItemsInFolder_win.cpp compiles and links"
