#!/usr/bin/env bash
# Sets up, builds and runs every test: the ordinary build's tests (those that need an X
# server start their own Xvfb), then the AddressSanitizer + UndefinedBehaviorSanitizer and
# ThreadSanitizer builds with their tests, and a short run of each fuzz target.
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
(cd build && ctest --output-on-failure --no-tests=error -j"$(nproc)" "$@")
[ $# -eq 0 ] || exit 0

tests/hardening/sanitize.sh address
tests/hardening/sanitize.sh thread
tests/fuzz/fuzz.sh 60
