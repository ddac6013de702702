#!/usr/bin/env bash
# tools/screenshots.sh [BUILD] [OUTDIR]
# Photographs skinned windows under Xvfb (Wine draws no frame of its own there,
# "Decorated"="N"): the skin demo's windows (the program's own dialog templates
# with the installed skin), and taplinar.exe itself when it is built.
# PNGs go to OUTDIR (default docs/screenshots).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-skin}
OUT=${2:-$ROOT/docs/screenshots}

if [ "${SHOTS_INSIDE:-}" != 1 ]; then
    "$ROOT/tools/dev.sh" "$BUILD" skin_demo
    mkdir -p "$OUT"
    BUILD=$(cd "$BUILD" && pwd); OUT=$(cd "$OUT" && pwd)
    exec env SHOTS_INSIDE=1 "$ROOT/tools/xrun.sh" "$BUILD" "$0" "$BUILD" "$OUT"
fi

DEMO="$BUILD/tests/skin/skin_demo.exe"

# shot NAME GEOMETRY CMD...: run CMD, wait for its windows, photograph the area.
shot() {
    local name=$1 geometry=$2; shift 2
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "${SHOT_WAIT:-4}"
    import -window root -crop "$geometry" +repage "$OUT/$name.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # Its windows must be gone before the next shot.
    sleep 1
    echo "$OUT/$name.png"
}

shot main-active     680x340+0+0  wine "$DEMO" main
shot main-inactive   1000x560+0+0 wine "$DEMO" inactive
shot popup-menu      680x340+0+0  wine "$DEMO" menu
shot port-settings   680x420+0+0  wine "$DEMO" port
shot log-settings    680x420+0+0  wine "$DEMO" log
shot about-box       680x340+0+0  wine "$DEMO" about
shot message-box     440x220+420+410 wine "$DEMO" msgbox
if [ -f "$BUILD/taplinar.exe" ] && [ -f "$ROOT/app/Main.cpp" ]; then
    shot taplinar 900x600+0+0 wine "$BUILD/taplinar.exe"
fi
