#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the normal build, then the build with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the thread-heavy tests built with
# ThreadSanitizer, then the compile check of the Windows shell code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
chmod 700 "$XDG_RUNTIME_DIR"

# Every server the tests start (svnserve, Apache) must end with them, also when a test fails.
source "$root/scripts/own-servers.sh"
no_server_left() { zr_no_server_left test.sh || exit 1; }

echo "== build and test"
bash scripts/build.sh "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j2
no_server_left

# Run as root, the servers' own tests again as an ordinary user: Apache then runs as that user.
servers_tests="$root/build/tests/subversion/subversion_tests"
if ((EUID == 0)) && id nobody >/dev/null 2>&1 && ! runuser -u nobody -- test -x "$servers_tests"; then
    echo "== not run as an ordinary user: nobody cannot reach $servers_tests (a folder above is private)"
elif ((EUID == 0)) && id nobody >/dev/null 2>&1; then
    echo "== the servers and the backend's contract as an ordinary user (nobody)"
    ordinary=$(mktemp -d "$TMPDIR/ordinary.XXXXXX")
    chmod 777 "$ordinary"
    runuser -u nobody -- env TMPDIR="$ordinary" HOME="$ordinary" QT_QPA_PLATFORM=offscreen \
        "$servers_tests" --gtest_brief=1 --gtest_filter='Servers*:Transports*'
    no_server_left
fi

echo "== install into a staging folder, and a host project built against the installed package"
stage="$root/build/stage"
rm -rf "$stage" "$root/build/consumer"
cmake --install "$root/build" --prefix "$stage" >/dev/null
# The package is for host integrators: the test kit (fault decorator, servers, modal driver) stays out.
fixtures='FaultyBackend|RepositoryServer|SvnServer|HttpsServer|ServerProcess|ModalDriver'
if find "$stage" -type f | grep -E "$fixtures" ||
    nm -DC "$(find "$stage" -name 'libzrhost.so*' -type f | head -n1)" | grep -E "standin::($fixtures)"; then
    echo "test.sh: the installed package holds test fixtures (above)" >&2
    exit 1
fi
cmake -S "$root/tests/consumer" -B "$root/build/consumer" -DCMAKE_PREFIX_PATH="$stage" >/dev/null
cmake --build "$root/build/consumer" -j"$(nproc)"
"$root/build/consumer/zrconsumer"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
bash scripts/build.sh "$root/build-sanitize" -DZR_SANITIZE=ON
ctest --test-dir "$root/build-sanitize" --output-on-failure -j2
no_server_left

echo "== the thread-heavy tests with ThreadSanitizer"
bash scripts/tsan-tests.sh "$root/build-tsan"
no_server_left

if [[ -f scripts/check-windows-shell.sh ]]; then
    echo "== Windows shell code compiles and links with mingw-w64"
    bash scripts/check-windows-shell.sh
fi
