#!/usr/bin/env bash
# One whole live run of the real show under a private Xvfb (1024x768), the question answered
# No by a click as a viewer would, the sound on SDL's dummy driver; the show ends by itself
# when its scroll text has run out (about 91 s of frames). Measures it one way:
#
#   bench/live/live_run.sh MODE [SHOW] [OUTDIR]
#
#   pacing  frame periods from the show's swap trace (tolvmarka-traced) beside those of
#           pace_floor (the same loop drawing nothing), run alone on the same server just
#           before the show (beside it, it would compete with the show for the two cores
#           and the server); peak memory (/usr/bin/time -v) and resident memory per mapping
#           40 s into the frames
#   perf    CPU samples of the show's threads per shared object (perf record -e cpu-clock)
#   heap    heap allocations by call site at the peak (heaptrack)
#
# Prints a summary; the raw files stay in OUTDIR (default: a new temporary directory).
set -u
MODE=${1:-}
SHOW=${2:-$(dirname "$0")/../../build/core/tolvmarka-traced}
OUT=${3:-$(mktemp -d)}
STEP_TIMEOUT=60 # seconds for the question to come
RUN_TIMEOUT=400 # seconds for the whole run, heaptrack's slowdown included
SNAPSHOT_FRAME=2000
FLOOR_FRAMES=1500 # 30 s of the bare loop
PACE_FLOOR=${PACE_FLOOR:-$(dirname "$SHOW")/../bench/live/pace_floor}

case $MODE in
pacing | perf | heap) ;;
*)
    echo "usage: live_run.sh pacing|perf|heap [SHOW] [OUTDIR]" >&2
    exit 2
    ;;
esac
[ -x "$SHOW" ] || { echo "live_run: no show at $SHOW" >&2; exit 1; }
mkdir -p "$OUT"
WORK=$(mktemp -d)
XVFB_PID=
RUN_PID=
cleanup() {
    [ -n "$RUN_PID" ] && kill -TERM "$RUN_PID" 2>/dev/null && wait "$RUN_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

SCREEN=1024x768x24
. "$(dirname "$0")/../../tests/e2e/xvfb.sh"
start_xvfb || { echo "live_run: no Xvfb could be started" >&2; exit 1; }

if [ "$MODE" = pacing ]; then
    [ -x "$PACE_FLOOR" ] || { echo "live_run: no pace_floor at $PACE_FLOOR" >&2; exit 1; }
    "$PACE_FLOOR" "$FLOOR_FRAMES" 2>"$OUT/floor.log" ||
        { echo "live_run: pace_floor failed" >&2; tail -3 "$OUT/floor.log" >&2; exit 1; }
fi

mkdir "$WORK/tmp"
case $MODE in
pacing) WRAP=(/usr/bin/time -v -o "$OUT/time.txt") ;;
perf) WRAP=(perf record -q -e cpu-clock -F 1000 -o "$OUT/perf.data" --) ;;
heap) WRAP=(heaptrack -o "$OUT/heaptrack") ;;
esac
TMPDIR="$WORK/tmp" SDL_AUDIODRIVER=dummy "${WRAP[@]}" "$SHOW" \
    >"$OUT/show.log" 2>&1 &
RUN_PID=$!

box_of() {
    xwininfo -root -children 2>/dev/null | awk -v name="\"$1\":" '$2 == name && $3 == "()" {
        print $1; exit }'
}

# The question: No is 144 px right and 73 px down in SDL's 200 px wide X11 box.
answered=
for _ in $(seq $((STEP_TIMEOUT * 20))); do
    kill -0 "$RUN_PID" 2>/dev/null || break
    id=$(box_of Tolvmarka)
    if [ -n "$id" ]; then
        xdotool mousemove --window "$id" 144 73 click 1
        answered=1
        break
    fi
    sleep 0.05
done
[ -n "$answered" ] || { echo "live_run: no question box" >&2; tail "$OUT/show.log" >&2; exit 1; }

show_pid() {
    # The show itself: the wrapper's child.
    local child
    child=$(pgrep -P "$RUN_PID" 2>/dev/null | head -1)
    echo "${child:-$RUN_PID}"
}

snapshot_taken=
deadline=$((SECONDS + RUN_TIMEOUT))
while kill -0 "$RUN_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
    if [ "$MODE" = pacing ] && [ -z "$snapshot_taken" ] &&
        grep -q "^tolvmarka-swap $SNAPSHOT_FRAME " "$OUT/show.log"; then
        pid=$(show_pid)
        cp "/proc/$pid/smaps" "$OUT/smaps.txt" 2>/dev/null
        cp "/proc/$pid/status" "$OUT/status.txt" 2>/dev/null
        snapshot_taken=1
    fi
    sleep 0.5
done
if kill -0 "$RUN_PID" 2>/dev/null; then
    echo "live_run: the show did not end within ${RUN_TIMEOUT}s" >&2
    exit 1
fi
wait "$RUN_PID"
code=$?
RUN_PID=
[ "$code" = 0 ] || { echo "live_run: exit code $code" >&2; tail "$OUT/show.log" >&2; exit 1; }

case $MODE in
pacing)
    # Swap 1 is the display set-up's own; the loop's frames end at swaps 2, 3, ...
    periods() {
        awk -v tag="$1" '$1 == tag && $2 >= 2 { if (last != "") print ($3 - last) * 1000
            last = $3 }' "$2" | sort -n
    }
    periods tolvmarka-swap "$OUT/show.log" >"$OUT/periods.txt"
    periods floor-swap "$OUT/floor.log" >"$OUT/floor_periods.txt"
    stats() {
        awk '{ p[NR] = $1; sum += $1; if ($1 > 21) late++ }
            function at(q) { i = int(q * NR + 0.999999); if (i < 1) i = 1; return p[i] }
            END { printf "%6d %8.2f %8.2f %8.2f %8.2f %8.3f %6d", NR, at(0.5), at(0.9), at(0.99),
                  p[NR], sum / NR, late + 0 }' "$1"
    }
    echo "frame periods (ms)      frames   median      p90      p99      max     mean  >21ms"
    echo "  show                  $(stats "$OUT/periods.txt")"
    echo "  floor (draws nothing) $(stats "$OUT/floor_periods.txt")   (alone, just before)"
    paste <(stats "$OUT/periods.txt") <(stats "$OUT/floor_periods.txt") | awk '{
        printf "  show/floor: median %.3f, p99 %.3f\n", $2 / $9, $4 / $11 }'
    awk -F: '/Maximum resident set size/ { printf "peak resident memory: %.1f MiB\n", $2 / 1024 }
        /Elapsed \(wall clock\)/ { sub(/^[^:]*: /, ""); print "wall time: " $0 }
        /User time/ { u = $2 } /System time/ { s = $2 }
        END { printf "CPU time: user %.1f s, system %.1f s\n", u, s }' "$OUT/time.txt"
    if [ -s "$OUT/smaps.txt" ]; then
        echo "resident memory by mapping at frame $SNAPSHOT_FRAME (MiB, largest first):"
        awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6) ? $6 : "[anonymous]"; next }
            /^Rss:/ { rss[name] += $2 }
            END { for (n in rss) if (rss[n] >= 256) printf "  %7.1f  %s\n", rss[n] / 1024, n }' \
            "$OUT/smaps.txt" | sort -rn | head -20
        grep -E '^(VmHWM|VmRSS|RssAnon|RssFile)' "$OUT/status.txt" | sed 's/^/  /'
    fi
    ;;
perf)
    perf report -i "$OUT/perf.data" --no-children --sort dso --stdio 2>/dev/null |
        grep -E '^ +[0-9.]+%' >"$OUT/dso.txt"
    echo "CPU samples of the show's threads by shared object:"
    head -15 "$OUT/dso.txt" | sed 's/^/  /'
    # The show's own code: the executable and the player library it writes out and loads.
    awk '{ share = $1; sub(/%/, "", share); dso = $2 }
        dso == "tolvmarka" { own += share }
        dso == "bassmod.dll" { player += share }
        dso ~ /^libxmp/ { decode += share }
        # [JIT]: the shaders llvmpipe compiles, run by its rasteriser threads.
        dso ~ /(^libGL|^libGLX|^libglapi|^libgallium|_dri\.so|^libLLVM|^libEGL|^libGLU|^\[JIT\])/ { gl += share }
        dso ~ /kernel/ { kernel += share }
        END { printf "show code %.2f%%, player library %.2f%% (+ libxmp %.2f%%), GL and " \
              "Mesa %.1f%%, kernel %.1f%%, rest %.1f%%\n", own, player, decode, gl, kernel,
              100 - own - player - decode - gl - kernel }' "$OUT/dso.txt"
    echo "CPU samples by thread:"
    perf report -i "$OUT/perf.data" --no-children --sort comm --stdio 2>/dev/null |
        grep -E '^ +[0-9.]+%' | head -6 | sed 's/^/  /'
    perf report -i "$OUT/perf.data" --no-children --comm tolvmarka --percentage relative \
        --sort dso --stdio \
        2>/dev/null | grep -E '^ +[0-9.]+%' | awk '{ share = $1; sub(/%/, "", share) }
        $2 == "tolvmarka" || $2 == "bassmod.dll" { own += share }
        END { printf "show code on the main thread: %.2f%% of its samples\n", own }'
    echo "hottest symbols of the show's own code:"
    perf report -i "$OUT/perf.data" --no-children --dsos tolvmarka --sort sym --stdio \
        2>/dev/null | grep -E '^ +[0-9.]+%' | head -8 | sed 's/^/  /'
    ;;
heap)
    file=$(ls "$OUT"/heaptrack*.zst "$OUT"/heaptrack*.gz 2>/dev/null | head -1)
    heaptrack_print -f "$file" --print-peaks 1 --print-allocators 0 --print-leaks 0 \
        --print-temporary 0 --peak-limit 12 >"$OUT/heap.txt" 2>/dev/null
    grep -E '^(peak heap memory consumption|peak RSS|total memory leaked|calls to allocation)' \
        "$OUT/heap.txt"
    echo "largest heap users at the peak (first resolved frame, or the library):"
    awk '/^PEAK MEMORY CONSUMERS/ { on = 1; next }
        on && /peak memory consumed/ { if (entry != "") print entry; entry = "  " $0; where = ""
            n++; next }
        on && entry != "" && where == "" && /^ *(in|at) / { where = $0; entry = entry " " $0 }
        on && n > 12 { exit }
        END { if (entry != "") print entry }' "$OUT/heap.txt" | sed 's/  */ /g; s/^/  /'
    ;;
esac
echo "files: $OUT"
