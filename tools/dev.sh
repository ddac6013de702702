#!/usr/bin/env bash
# Inner loop of one engineer: tools/dev.sh BUILD TARGET [CTEST ARGS...]
# Configures BUILD if needed, builds TARGET, and with ctest arguments runs ctest in BUILD
# under Xvfb with the build tree's own Wine prefix.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: tools/dev.sh BUILD TARGET [CTEST ARGS...]" >&2; exit 2; }
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1 TARGET=$2; shift 2
mkdir -p "$BUILD"; BUILD=$(cd "$BUILD" && pwd)
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
fi
LOG="$BUILD/last-build.log"
if ! cmake --build "$BUILD" --target "$TARGET" -j2 > "$LOG" 2>&1; then
    grep -v -E '^\[ *[0-9]+%\]' "$LOG" | tail -n 60; exit 1
fi
grep -i -E 'warning' "$LOG" | head -n 20 || true
[ $# -gt 0 ] || exit 0
cd "$BUILD"
exec "$ROOT/tools/xrun.sh" "$BUILD" ctest "$@"
