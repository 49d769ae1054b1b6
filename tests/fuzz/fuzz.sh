#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build-fuzz) and runs each for a while,
# starting from the committed corpus (copied: new finds stay out of the repository). A
# crash, a leak, a timeout or a failed check fails the run; its input is kept next to the
# log for the reproducer:  build-fuzz/tests/fuzz/TARGET INPUT
#
#   fuzz.sh [SECONDS_PER_TARGET]    (default 60)
set -euo pipefail
cd "$(dirname "$0")/../.."
SECONDS_EACH=${1:-60}
SAN="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVMARKA_BENCH=OFF -DTOLVMARKA_FUZZ=ON -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target player_fuzz strings_fuzz >/dev/null

OUT=build-fuzz/fuzz-runs
failed=0
for target in player_fuzz strings_fuzz; do
    rm -rf "$OUT/$target" && mkdir -p "$OUT/$target/corpus"
    cp tests/fuzz/corpus/$target/* "$OUT/$target/corpus/"
    # The player's seeds are cut-down modules; longer inputs only grow the sample data.
    if build-fuzz/tests/fuzz/$target -max_total_time="$SECONDS_EACH" -max_len=65536 -timeout=20 \
        -print_final_stats=1 -artifact_prefix="$OUT/$target/" "$OUT/$target/corpus" \
        >"$OUT/$target/log" 2>&1; then
        echo "$target: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$OUT/$target/log" |
            grep -o '[0-9]*$') inputs in ${SECONDS_EACH}s, no finding"
    else
        echo "FAIL: $target found a fault; input and log in $OUT/$target" >&2
        grep -E 'ERROR|SUMMARY|failed at' "$OUT/$target/log" | head -5 >&2
        failed=1
    fi
done
exit $failed
