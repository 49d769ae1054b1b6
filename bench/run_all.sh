#!/usr/bin/env bash
# Runs every benchmark and prints a summary of the figures against their goals.
#
#   bench/run_all.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR (default build/) is configured if needed and its benchmark targets are built
# (NO_BUILD=1 skips that). Full outputs go to OUT_DIR (default: a new temporary directory).
# Takes about 15 minutes on two cores; the live runs need Xvfb, xdotool and xwininfo, the
# profiles perf, valgrind and heaptrack (packages linux-perf, valgrind, heaptrack; a step
# whose tool is missing is skipped). Other load on the machine shows in every figure:
# the load average is printed before and after.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
BUILD=$(realpath -m "${1:-$ROOT/build}")
OUT=$(realpath -m "${2:-$(mktemp -d)}")
mkdir -p "$OUT"
SHOW=$BUILD/core/tolvmarka-traced
B=$BUILD/bench

step() { printf '\n== %s\n' "$*"; }
# True when TOOL is installed; otherwise says which Debian package brings it.
have() {
    command -v "$1" >/dev/null && return 0
    echo "$1 is not installed (apt-get install $2): skipped"
    return 1
}
# Runs a benchmark with its output saved to OUT/NAME.txt and shown as it comes.
run() {
    local name=$1
    shift
    "$@" 2>&1 | tee "$OUT/$name.txt"
    return "${PIPESTATUS[0]}"
}

if [ -z "${NO_BUILD:-}" ]; then
    step "build ($BUILD)"
    [ -f "$BUILD/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    targets=(tolvmarka bassmod scenes_bench scenes_record scenes_run pace_floor sync_bench player_bench)
    cmake --build "$BUILD" -j2 --target "${targets[@]}" >"$OUT/build.txt" 2>&1 ||
        { tail -20 "$OUT/build.txt"; exit 1; }
    # The other engineers' benchmarks: run when they build.
    for optional in capture content; do
        [ -f "$HERE/$optional/CMakeLists.txt" ] &&
            { cmake --build "$BUILD" -j2 --target "${optional}_bench" >>"$OUT/build.txt" 2>&1 ||
                echo "${optional}_bench does not build: skipped"; }
    done
fi

step "machine"
{
    echo "cores: $(nproc)"
    echo "cpu: $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
    echo "mesa: $(dpkg-query -W -f '${Version}' libgl1-mesa-dri 2>/dev/null) (llvmpipe)"
    echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$OUT/machine.txt"

step "1. frame cost per scene state: show against a bare replay of its GL calls (headless)"
run scenes "$B/scenes/scenes_bench"
step "2a. own share of the frames' instructions (callgrind, headless)"
have valgrind valgrind && run instructions "$HERE/scenes/instruction_share.sh" "$BUILD"
step "2b. own share of the live show's CPU samples (perf, Xvfb)"
have perf linux-perf && run live_perf "$HERE/live/live_run.sh" perf "$SHOW" "$OUT/live_perf"
step "3+4. live pacing beside the bare paced loop, and peak memory (Xvfb)"
PACE_FLOOR=$B/live/pace_floor run live_pacing "$HERE/live/live_run.sh" pacing "$SHOW" "$OUT/live_pacing"
step "4. live heap (heaptrack, Xvfb)"
have heaptrack heaptrack && run live_heap "$HERE/live/live_run.sh" heap "$SHOW" "$OUT/live_heap"
step "5. sync callback delay on the player's clock (dummy audio device)"
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} run sync "$B/live/sync_bench"
step "player decode cost"
run player "$B/player/player_bench"
if [ -x "$B/capture/capture_bench" ]; then
    step "capture throughput"
    run capture env TMPDIR="$(mktemp -d)" "$B/capture/capture_bench" --stages
fi
if [ -x "$B/content/content_bench" ]; then
    step "start-up content (texture upload, object list)"
    run content "$B/content/content_bench"
fi
if [ -x "$HERE/startup/startup_frames.sh" ] || [ -f "$HERE/startup/startup_frames.sh" ]; then
    step "start-up and the first 100 frames (Xvfb)"
    run startup bash "$HERE/startup/startup_frames.sh" "$SHOW"
fi
for extra in "$HERE"/frames/*.sh; do
    [ -f "$extra" ] || continue
    step "$(basename "$extra")"
    run "frames_$(basename "$extra" .sh)" bash "$extra" "$SHOW"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$OUT/machine.txt"

# The summary: each figure, its goal, and whether it holds.
step "summary (full outputs in $OUT)"
verdict() { awk -v ok="$1" 'BEGIN { print (ok ? "meets" : "MISSES") }'; }
cat "$OUT/machine.txt"
echo "1. frame cost, show/floor (goal: median within 1.1x in every state), share of 20 ms:"
awk 'NR > 2 && NF == 11 && $2 ~ /^[0-9]+$/ { printf "   %-21s median %s ms  x%s  p99 %s ms  x%s  %s of 20 ms\n",
    $1, $3, $7, $4, $8, $11; if ($7 > 1.1) miss = 1 }
    END { print "   " (miss ? "MISSES" : "meets") " the goal" }' "$OUT/scenes.txt"
touch "$OUT/instructions.txt" "$OUT/live_perf.txt" "$OUT/live_heap.txt"
own_instr=$(awk '/own [0-9.]+%/ { sub(/.*own /, ""); sub(/%.*/, ""); print }' "$OUT/instructions.txt")
own_perf=$(awk '/^show code [0-9]/ { a = $3; b = $6; sub(/%.*/, "", a); sub(/%.*/, "", b); print a + b }' \
    "$OUT/live_perf.txt")
echo "2. own code (show + player library; goal at most 10%): ${own_instr:-?}% of the frames'" \
    "instructions, ${own_perf:-?}% of the live CPU samples:" \
    "$(verdict "$(awk -v a="${own_instr:-100}" -v b="${own_perf:-100}" 'BEGIN { print (a <= 10 && b <= 10) }')")"
awk '/^  show / { m = $3; p = $5 } /^  floor / { fm = $5; fp = $7 }
    END { if (m == "") { print "3. pacing: no result"; exit }
        printf "3. live frame periods (goal: median 20.0-20.2 ms, p99 at most 21 ms): median %s, p99 %s ms;" \
            " bare loop just before: median %s, p99 %s: %s\n", m, p, fm, fp,
            (m >= 20.0 && m <= 20.2 && p <= 21) ? "meets" : "MISSES" }' "$OUT/live_pacing.txt"
echo "4. $(grep -h 'peak resident memory' "$OUT/live_pacing.txt"); $(grep -h 'peak heap memory' "$OUT/live_heap.txt")"
awk '/^(idle|render) / { printf "5. sync delay (%s; goal within one period, %s): median %s ms, max %s ms, %s x period\n",
    $1, "23.22 ms", $6, $8, $10 }' "$OUT/sync.txt"
# Median of column $1 of the start-up table.
startup_median() {
    awk -v c="$1" '$1 ~ /^[0-9]+$/ && NF == 7 { print $c }' "$OUT/startup.txt" | sort -n |
        awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'
}
if [ -f "$OUT/startup.txt" ] && [ -n "$(startup_median 6)" ]; then
    awk -v s="$(startup_median 6)" -v f="$(startup_median 7)" 'BEGIN {
        printf "6. start-up, the question answered at once (goal at most 150 ms to the first swap):" \
            " median %.0f ms to the first swap, %.0f ms to the end of the first frame: %s\n",
            s * 1000, f * 1000, (s <= 0.150 ? "meets" : "MISSES") }'
fi
grep -h '^ratio player' "$OUT/player.txt" | sed 's/^/   player decode: /'
[ -f "$OUT/capture.txt" ] && grep -h '^overhead' "$OUT/capture.txt" | sed 's/^/   capture: /'
exit 0
