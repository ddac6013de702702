#!/usr/bin/env bash
# The project's one test command: install what is missing (Debian 12, as root), build in
# build/, and run every test under Xvfb and Wine with the Japanese locale.
# Exits with ctest's status after its summary line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build"
PACKAGES=(g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
          wine wine32:i386 wine64 xvfb xauth locales fonts-ipafont-gothic googletest
          cmake make python3 imagemagick socat gcc-multilib)

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

ensure_locale() {
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
}

# Some hosts run no 32-bit program at all (their kernel's IA-32 emulation is off, and
# every i386 program fails with "Exec format error"). 32-bit Wine then runs through qemu's
# user-mode emulator registered for i386 programs: it works, many times slower.
ensure_i386_programs() {
    [ -e /lib/ld-linux.so.2 ] || return 0
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    echo "test.sh: this kernel runs no 32-bit programs; Wine will run through qemu-i386 (slowly)"
    [ -x /usr/bin/qemu-i386-static ] ||
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
    [ -e /proc/sys/fs/binfmt_misc/register ] || $sudo mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || printf '%s\n' \
        ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
        $sudo tee /proc/sys/fs/binfmt_misc/register >/dev/null
}

install_packages
ensure_locale
ensure_i386_programs

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
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
