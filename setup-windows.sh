#!/usr/bin/env bash
# Installs what the Windows build and its Wine tests need: the MinGW-w64 cross compiler,
# Wine with its 32-bit half (i386 multiarch), and the source of Debian's libxmp package,
# unpacked into the folder given as the first argument. The second argument, x86_64, asks for
# the 64-bit compiler and Wine instead (for hosts that cannot execute 32-bit code).
# Non-interactive and idempotent: with everything present it only checks.
set -euo pipefail

SRC_DIR=${1:?usage: setup-windows.sh LIBXMP_SOURCE_DIR [i686|x86_64]}
ARCH=${2:-i686}
PACKAGES=(
    cmake make dpkg-dev file googletest
    xvfb xdotool x11-utils x11-apps imagemagick
)
if [ "$ARCH" = x86_64 ]; then
    PACKAGES+=(g++-mingw-w64-x86-64-posix wine wine64)
else
    PACKAGES+=(g++-mingw-w64-i686-posix wine wine32:i386)
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
APT() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$ARCH" = i686 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386 # wine32 is an i386 package
    fi
    echo "setup-windows: installing ${missing[*]}" >&2
    APT update -qq
    APT install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# libxmp's source: enable source packages for as long as the download takes, with entries
# derived from the machine's own binary sources, so that no mirror is named here.
if ! ls "$SRC_DIR"/libxmp-*/src/virtual.c >/dev/null 2>&1; then
    list=/etc/apt/sources.list.d/tolvmarka-windows-src.sources
    legacy=/etc/apt/sources.list.d/tolvmarka-windows-src.list
    trap '$SUDO rm -f "$list" "$legacy"' EXIT
    tmp=$(mktemp)
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        # deb822 stanzas: keep those of binary packages and make them source ones
        awk 'BEGIN { RS=""; ORS="\n\n" } /(^|\n)Types:[^\n]*deb([ \n]|$)/ {
                 sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$tmp"
    done
    $SUDO install -m 0644 "$tmp" "$list"
    grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        2>/dev/null | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >"$tmp" || true
    [ -s "$tmp" ] && $SUDO install -m 0644 "$tmp" "$legacy"
    rm -f "$tmp"
    APT update -qq
    mkdir -p "$SRC_DIR"
    (cd "$SRC_DIR" && apt-get source -qq libxmp >/dev/null)
    $SUDO rm -f "$list" "$legacy"
    trap - EXIT
fi
