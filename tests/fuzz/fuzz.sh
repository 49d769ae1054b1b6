#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the player's fuzz target with clang and libFuzzer (build-fuzz) and
# runs it for SECONDS (default 60) from the committed corpus (copied: new finds stay out of the
# repository). A crash, a leak, a timeout or a failed check fails the run; its input is kept
# next to the log for the reproducer:  build-fuzz/tests/fuzz/player_fuzz INPUT
set -euo pipefail
cd "$(dirname "$0")/../.."
SECONDS_EACH=${1:-60}
SAN="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVMARKA_BENCH=OFF -DTOLVMARKA_FUZZ=ON -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target player_fuzz >/dev/null

OUT=build-fuzz/fuzz-runs/player_fuzz
rm -rf "$OUT" && mkdir -p "$OUT/corpus"
cp tests/fuzz/corpus/player_fuzz/* "$OUT/corpus/"
# The seeds are cut-down modules; longer inputs only grow the sample data.
if build-fuzz/tests/fuzz/player_fuzz -max_total_time="$SECONDS_EACH" -max_len=65536 -timeout=20 \
    -print_final_stats=1 -artifact_prefix="$OUT/" "$OUT/corpus" >"$OUT/log" 2>&1; then
    echo "player_fuzz: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$OUT/log" |
        grep -o '[0-9]*$') inputs in ${SECONDS_EACH}s, no finding"
else
    echo "FAIL: player_fuzz found a fault; input and log in $OUT" >&2
    grep -E 'ERROR|SUMMARY|failed at' "$OUT/log" | head -5 >&2
    exit 1
fi
