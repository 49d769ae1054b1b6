#!/usr/bin/env bash
# sanitize.sh address|thread [CTEST-ARGS]: builds the project under a sanitizer in a build
# directory of its own and runs the tests that matter for it. address: ASan with UBSan
# (build-asan) over the unit, GL, runtime, player, module, window, fuzz-corpus and hardening
# tests. thread: TSan (build-tsan) over the player, the sequencer and frame loop, and the
# live music, where the player's thread calls into the show while frames run.
set -euo pipefail
cd "$(dirname "$0")/../.."
MODE=${1:?address or thread}
shift
JOBS=$(nproc)

case $MODE in
address)
    BUILD=build-asan
    SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    TARGETS=()
    LABELS='^(unit|gl|runtime|player|module|window|fuzz|hardening)$'
    NAMES=
    # The sanitizer's allocator keeps no malloc statistics; Valgrind cannot run its programs.
    EXCLUDE='^(Heap\.DestroyReturnsEveryBlockToTheSystem|hardening_valgrind)$'
    export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/hardening/lsan.supp:print_suppressions=0
    # The leak check at exit adds about 0.8 s to the show's end after a quit signal.
    export TOLVMARKA_QUIT_BOUND_MS=2500
    ;;
thread)
    BUILD=build-tsan
    SAN="-fsanitize=thread -fno-omit-frame-pointer"
    TARGETS=(--target bassmod player_test core_test core_probe_player player_live_test)
    LABELS='^player$'
    NAMES='^(ShowTest|LiveMusic)\.'
    # The whole show's frames on one thread with the probe player: nothing for the race
    # detector to watch, and minutes long under it (the address run covers it).
    EXCLUDE='^ShowTest\.RunEndsWithTheFrameInWhichTheScrollTextFirstPassesItsEnd$'
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
    ;;
*) echo "sanitize.sh: unknown mode $MODE" >&2 && exit 2 ;;
esac

# Libraries unloaded before the end (the player's SDL2 and libxmp, Mesa's DRI driver) are
# linked into every program so that they stay mapped: what their globals point to would read
# as leaked, from frames that cannot be named. The driver is found under its soname, which
# is not its file name: a link by that name in the build directory leads to it.
KEEP_LOADED="-Wl,--no-as-needed -lSDL2 -lxmp"
DRIVER=/usr/lib/$(gcc -print-multiarch)/dri/swrast_dri.so
if [ -e "$DRIVER" ]; then
    mkdir -p "$BUILD/keep-loaded"
    soname=$(objdump -p "$DRIVER" | awk '/SONAME/ { print $2 }')
    ln -sf "$DRIVER" "$BUILD/keep-loaded/${soname:-$(basename "$DRIVER")}"
    KEEP_LOADED="$KEEP_LOADED $DRIVER -Wl,-rpath,$PWD/$BUILD/keep-loaded"
fi
KEEP_LOADED="$KEEP_LOADED -Wl,--as-needed"

# GCC's string-operation warnings misfire on instrumented code (a bounded strncpy into a
# name buffer reads as a truncation); they stay errors in the ordinary build.
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVMARKA_BENCH=OFF \
    -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN -Wno-stringop-truncation" \
    -DCMAKE_EXE_LINKER_FLAGS="$SAN $KEEP_LOADED" -DCMAKE_SHARED_LINKER_FLAGS="$SAN" >/dev/null
cmake --build "$BUILD" -j"$JOBS" "${TARGETS[@]}" >/dev/null

cd "$BUILD"
ctest -j"$JOBS" --output-on-failure -L "$LABELS" -E "$EXCLUDE" "$@"
[ -z "$NAMES" ] || ctest -j"$JOBS" --output-on-failure -R "$NAMES" -E "$EXCLUDE" "$@"
