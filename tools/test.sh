#!/usr/bin/env bash
# The project's one test command: install what is missing (Debian 12, as root), build in
# build/, and run every test under Xvfb and Wine with the Japanese locale.
# Exits with ctest's status after its summary line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build"
PACKAGES=(g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb xauth locales fonts-ipafont-gothic googletest
          cmake make python3 imagemagick socat gcc-multilib libx11-dev)

missing_packages() {
    local p
    for p in "${PACKAGES[@]}"; do
        [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || echo "$p"
    done
}

install_packages() {
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        $sudo apt-get update -qq
    fi
    local missing; missing=$(missing_packages)
    [ -n "$missing" ] || return 0
    echo "installing: $(echo $missing)"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# ja_JP for the tests; en_US (code page 1252 in Wine) for the run that checks the texts
# read right on a non-Japanese Windows and for `tools/run.sh --locale en_US.UTF-8`.
ensure_locale() {
    local name missing=0 sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    for name in ja_JP en_US; do
        locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8\$" && continue
        missing=1
        $sudo sed -i "s/^# *\($name.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    done
    [ $missing = 0 ] || $sudo locale-gen >/dev/null
}

# Some hosts run no 32-bit program at all: their kernel's IA-32 emulation is off and every
# i386 program fails with "Exec format error" (the machines this project's CI runs on are
# such hosts). 32-bit Wine would then need qemu's user-mode emulator: many times slower,
# too slow for a test suite that times a relay in milliseconds. There the tests are built
# for 64-bit Windows from the same sources and run on 64-bit Wine; the program shipped
# (tools/package.sh) is always the 32-bit one.
# An emulator registered for i386 programs (binfmt_misc) would hide the answer, so it is
# switched off for the one look and back on at once.
runs_i386_natively() {
    [ -e /lib/ld-linux.so.2 ] || return 1
    local entry emulators=() ok=1
    for entry in /proc/sys/fs/binfmt_misc/*; do
        grep -qx enabled "$entry" 2>/dev/null || continue
        grep -q '^magic 7f454c4601' "$entry" 2>/dev/null || continue
        emulators+=("$entry")
    done
    for entry in "${emulators[@]}"; do echo 0 > "$entry" 2>/dev/null || true; done
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && ok=0
    for entry in "${emulators[@]}"; do echo 1 > "$entry" 2>/dev/null || true; done
    return $ok
}

toolchain_file() {
    if runs_i386_natively; then
        echo "$ROOT/cmake/mingw-i686.cmake"
    else
        echo "test.sh: this kernel runs no 32-bit programs; the tests are built for 64-bit Windows and run on 64-bit Wine" >&2
        echo "$ROOT/cmake/mingw-x86_64.cmake"
    fi
}

install_packages
ensure_locale
TOOLCHAIN=$(toolchain_file)

# A build tree made for the other kind of Windows is made anew.
if [ -f "$BUILD/CMakeCache.txt" ] && ! grep -q "^CMAKE_TOOLCHAIN_FILE:.*=$TOOLCHAIN\$" "$BUILD/CMakeCache.txt"; then
    echo "test.sh: $BUILD was configured for another toolchain; configuring it anew" >&2
    rm -rf "$BUILD"
fi
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" >/dev/null
else
    cmake "$BUILD" >/dev/null   # files added or removed since the last run join or leave the build
fi
# tools/run.sh uses the same set-up and builds only what it runs.
[ "${1:-}" = "--setup-only" ] && exit 0

echo "test.sh: building the program and the tests in $BUILD (the first build takes several minutes; log: $BUILD/build.log)"
if ! cmake --build "$BUILD" -j2 > "$BUILD/build.log" 2>&1; then
    grep -v -E '^\[ *[0-9]+%\]' "$BUILD/build.log" | tail -n 80
    echo "build failed (full log: $BUILD/build.log)" >&2
    exit 1
fi

cd "$BUILD"
exec "$ROOT/tools/xrun.sh" "$BUILD" ctest --output-on-failure "$@"
