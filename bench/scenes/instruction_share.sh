#!/usr/bin/env bash
# The show's own share of the instructions its frames execute, the rest being the GL driver
# (Mesa llvmpipe, its JIT-compiled shaders included) and the system. Counted by callgrind on
# scenes_run (every scene state in turn, offline, the driver rasterising on the main thread so
# that nothing escapes the count), inside the frames only (not the warm-up's shader compiles).
#
#   bench/scenes/instruction_share.sh [BUILD_DIR] [FRAMES_PER_STATE]   (default build, 20)
#
# Own = the instructions of the show's code (the executable) and of its player library, plus
# everything they call in the C and C++ runtime and libm (sin and cos for the rings, say);
# what they call in GL and GLU counts as the driver's.
set -u
BUILD=${1:-$(dirname "$0")/../../build}
FRAMES=${2:-20}
RUN=$BUILD/bench/scenes/scenes_run
[ -x "$RUN" ] || { echo "instruction_share: no $RUN" >&2; exit 1; }
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

LP_NUM_THREADS=0 valgrind --tool=callgrind --smc-check=all-non-file \
    --toggle-collect='ProfiledFrame*' --callgrind-out-file="$OUT/callgrind.out" \
    "$RUN" "$FRAMES" >"$OUT/valgrind.log" 2>&1 || {
    tail "$OUT/valgrind.log" >&2
    exit 1
}

# Object and function names are compressed: "(n) name" the first time, "(n)" after. A cost line after
# calls= is the call's inclusive cost; any other cost line is the current function's own.
awk -v exe="$(readlink -f "$RUN")" '
    function expand(kind, value) {
        if (match(value, /^\([0-9]+\)/)) {
            id = kind substr(value, 2, RLENGTH - 2)
            if (length(value) > RLENGTH) names[id] = substr(value, RLENGTH + 2)
            return names[id]
        }
        return value
    }
    function own(name) { return name == exe || name ~ /bassmod\.dll$/ }
    function runtime(name) { return name ~ /\/(libc|libm|libstdc\+\+|libgcc_s|ld-linux-x86-64)\.so/ }
    /^ob=/ { current = expand("o", substr($0, 4)); callee = current; next }
    /^cob=/ { callee = expand("o", substr($0, 5)); next }
    /^fn=/ { callee = current; start = expand("f", substr($0, 4)) == "(below main)"; next }
    /^cfn=/ { expand("f", substr($0, 5)); next }
    /^calls=/ { call = 1; next }
    /^[-+*0-9]/ {
        if (call) {
            # The C library start-up calls main: that is everything, not a helper.
            if (own(current) && runtime(callee) && !start) helpers += $2
            call = 0
            callee = current
        } else {
            self[current] += $2
            total += $2
        }
    }
    END {
        for (name in self) if (own(name)) mine += self[name]
        printf "instructions in the frames: %.0f M (%.1f M per frame)\n", total / 1e6,
            total / 1e6 / frames
        printf "show and player code %.2f%%, runtime calls from it %.2f%%: own %.2f%%\n",
            100 * mine / total, 100 * helpers / total, 100 * (mine + helpers) / total
        printf "largest objects by own instructions:\n"
        for (name in self) printf "  %6.2f%%  %s\n", 100 * self[name] / total, name | "sort -rn | head -8"
    }' frames=$((FRAMES * 6)) "$OUT/callgrind.out"
