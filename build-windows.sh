#!/usr/bin/env bash
# Cross-builds the show for 32-bit Windows and leaves dist/tolvmarka.exe: installs the
# cross compiler and Wine (setup-windows.sh), builds Debian's libxmp source as a static
# library, then the show. With --tests it also builds GoogleTest from Debian's source and
# the unit tests that run under Wine (tests/windows/wine_tests.sh runs them).
# The build folder is build-windows/, or $TOLVMARKA_WINDOWS_BUILD.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
OUT=${TOLVMARKA_WINDOWS_BUILD:-$ROOT/build-windows}
HOST=i686-w64-mingw32
TESTS=OFF
[ "${1:-}" = "--tests" ] && TESTS=ON
JOBS=${JOBS:-2}

./setup-windows.sh "$OUT/src"

XMP=$OUT/xmp
if [ ! -f "$XMP/lib/libxmp.a" ]; then
    src=$(ls -d "$OUT"/src/libxmp-*/ | head -n 1)
    rm -rf "$OUT/xmp-build"
    cp -a "$src" "$OUT/xmp-build"
    (cd "$OUT/xmp-build" &&
        ./configure -q --host=$HOST --prefix="$XMP" --enable-static --disable-shared \
            CC=$HOST-gcc-posix CFLAGS="-O2 -DBUILDING_STATIC" >/dev/null &&
        make -s -j"$JOBS" static &&
        mkdir -p "$XMP/lib" "$XMP/include" &&
        cp lib/libxmp.a "$XMP/lib/" && cp include/xmp.h "$XMP/include/")
fi

GTEST_ARGS=()
if [ "$TESTS" = ON ]; then
    GTEST=$OUT/gtest
    if [ ! -f "$GTEST/lib/libgtest.a" ]; then
        cmake -S /usr/src/googletest -B "$OUT/gtest-build" -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DCMAKE_INSTALL_PREFIX="$GTEST" \
            -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
        cmake --build "$OUT/gtest-build" -j"$JOBS" >/dev/null
        cmake --install "$OUT/gtest-build" >/dev/null
    fi
    GTEST_ARGS=(-DGTest_DIR="$GTEST/lib/cmake/GTest")
fi

cmake -S . -B "$OUT/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DTOLVMARKA_XMP_DIR="$XMP" \
    -DTOLVMARKA_TESTS=$TESTS -DTOLVMARKA_BENCH=OFF -DTOLVMARKA_TOOLS=OFF "${GTEST_ARGS[@]}" \
    >/dev/null
cmake --build "$OUT/build" -j"$JOBS"
mkdir -p dist
$HOST-strip -o dist/tolvmarka.exe "$OUT/build/core/tolvmarka.exe"
echo "dist/tolvmarka.exe: $(stat -c %s dist/tolvmarka.exe) bytes"
