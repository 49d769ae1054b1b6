#!/usr/bin/env bash
# Sets up (setup.sh test), builds and runs every test: the ordinary build's tests (those that
# need an X server start their own Xvfb), then the AddressSanitizer + UndefinedBehaviorSanitizer
# and ThreadSanitizer builds with their tests, and a short run of the fuzz target.
#
# With arguments, runs only the ordinary build's tests and passes the arguments to ctest
# (./test.sh -L unit).
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh test
# run.sh shares the build folder with the tests switched off: switch them on again.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVMARKA_TESTS=ON -DTOLVMARKA_BENCH=ON \
    -DTOLVMARKA_TOOLS=ON >/dev/null
cmake --build build -j"$(nproc)"
# A failing stage does not stop the later ones: one run shows every failure.
failed=()
(cd build && ctest --output-on-failure --no-tests=error -j"$(nproc)" "$@") || failed+=(tests)
if [ $# -eq 0 ]; then
    tests/hardening/sanitize.sh address || failed+=(address)
    tests/hardening/sanitize.sh thread || failed+=(thread)
    tests/fuzz/fuzz.sh 60 || failed+=(fuzz)
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "test.sh: failed: ${failed[*]}" >&2
    exit 1
fi
