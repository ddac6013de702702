#!/usr/bin/env bash
# tools/screenshots.sh [BUILD] [OUTDIR]
# Photographs skinned windows under Xvfb (Wine draws no frame of its own there,
# "Decorated"="N"): taplinar.exe itself on two pty-backed COM ports (its port
# settings dialog at start, then its main window), and the skin demo's windows
# (the program's own dialog templates with the installed skin) for the states
# the program cannot be put in from outside (menu open, each dialog).
# PNGs go to OUTDIR (default docs/screenshots).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-skin}
OUT=${2:-$ROOT/docs/screenshots}

if [ "${SHOTS_INSIDE:-}" != 1 ]; then
    "$ROOT/tools/dev.sh" "$BUILD" skin_demo
    if [ -f "$ROOT/app/Main.cpp" ] && [ -d "$ROOT/tests/e2e" ]; then
        "$ROOT/tools/dev.sh" "$BUILD" taplinar
        "$ROOT/tools/dev.sh" "$BUILD" tapctl
    fi
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

# The program itself: the ports come from pty pairs, tapctl presses OK.
app_shots() {
    wine "$BUILD/taplinar.exe" >/dev/null 2>&1 &
    local pid=$!
    sleep "${SHOT_WAIT:-4}"
    sleep 2
    import -window root -crop 292x330+0+0 +repage "$OUT/app-port-settings.png"
    wine "$BUILD/tools/tapctl.exe" confirm-ports >/dev/null 2>&1 || true
    sleep 2
    import -window root -crop 980x256+0+0 +repage "$OUT/app-main-window.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$OUT/app-port-settings.png"; echo "$OUT/app-main-window.png"
}
if [ -f "$BUILD/taplinar.exe" ] && [ -f "$BUILD/tools/tapctl.exe" ] && command -v socat >/dev/null; then
    export -f app_shots
    export BUILD OUT
    "$ROOT/tests/e2e/with_ports.sh" "$BUILD" bash -c app_shots
fi
