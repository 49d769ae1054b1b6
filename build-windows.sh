#!/usr/bin/env bash
# Cross-builds the show for 32-bit Windows and leaves dist/tolvmarka.exe: installs the
# cross compiler and Wine (setup-windows.sh), builds Debian's libxmp source as a static
# library, then the show. With --tests it also builds GoogleTest from Debian's source and
# the unit tests that run under Wine (tests/windows/wine_tests.sh runs them).
# The build folder is build-windows/, or $TOLVMARKA_WINDOWS_BUILD. TOLVMARKA_WINDOWS_ARCH=x86_64
# builds the same for 64-bit Windows into dist/x86_64/, for hosts whose Wine cannot run
# 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
OUT=${TOLVMARKA_WINDOWS_BUILD:-$ROOT/build-windows}
ARCH=${TOLVMARKA_WINDOWS_ARCH:-i686}
HOST=$ARCH-w64-mingw32
TOOLCHAIN=$ROOT/cmake/mingw-$ARCH.cmake
DIST=dist
if [ "$ARCH" != i686 ]; then
    OUT=$OUT/$ARCH
    DIST=dist/$ARCH
fi
TESTS=OFF
[ "${1:-}" = "--tests" ] && TESTS=ON
JOBS=${JOBS:-2}

./setup-windows.sh "$OUT/src" "$ARCH"

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
            -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$GTEST" \
            -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
        cmake --build "$OUT/gtest-build" -j"$JOBS" >/dev/null
        cmake --install "$OUT/gtest-build" >/dev/null
    fi
    GTEST_ARGS=(-DGTest_DIR="$GTEST/lib/cmake/GTest")
fi

cmake -S . -B "$OUT/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DTOLVMARKA_XMP_DIR="$XMP" \
    -DTOLVMARKA_TESTS=$TESTS -DTOLVMARKA_BENCH=OFF -DTOLVMARKA_TOOLS=OFF "${GTEST_ARGS[@]}" \
    >/dev/null
cmake --build "$OUT/build" -j"$JOBS"
mkdir -p "$DIST"
$HOST-strip -o "$DIST/tolvmarka.exe" "$OUT/build/core/tolvmarka.exe"
echo "$DIST/tolvmarka.exe: $(stat -c %s "$DIST/tolvmarka.exe") bytes"
