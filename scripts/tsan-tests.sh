#!/usr/bin/env bash
# Builds with ThreadSanitizer what the thread-heavy tests need and runs them: tsan-tests.sh <build-dir>
# [extra cmake arguments...]. Only these tests: a third full build would not fit in CI's time. They are
# the worker thread and its progress box, the deadline and the prober after a Cancel (ServerTroubleTest,
# the deadlines and cancelled check-out of SvnBackendTest), the backend's contract over every transport,
# the backend shared with a background refresh (SharedBackendTest), the demo's Simulate switch taken out
# under a running operation (FaultSwitchTest), the demo's tree fed from a thread of its own
# (demo_large_project) and the load test's short run. Any report fails the test that made it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-tsan"}
shift || true

targets=(saveflows_tests subversion_tests demo_simulation_tests zrdemo zrload)
tests='SharedBackendTest|FaultSwitchTest|ServerTroubleTest|TransportContractTest|SvnBackendTest\.(AnOperationsDeadline|ACheckOutCancelled)'
tests+='|^load_short$|^demo_large_project$'

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_SANITIZE_THREAD=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# Qt, Subversion and APR are not built with ThreadSanitizer: scripts/tsan.supp names their internals.
# die_after_fork=0: the sanitizer takes the way QProcess starts a program (the submitter a test kills)
# for a fork of this multi-threaded process, and would otherwise end the test at the next thread.
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp:halt_on_error=1:die_after_fork=0:second_deadlock_stack=1"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$build" --output-on-failure -j2 -R "$tests"
