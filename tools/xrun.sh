#!/usr/bin/env bash
# tools/xrun.sh BUILD CMD [ARGS...]: run CMD on a private Xvfb display with the build tree's
# Wine prefix and one wineserver kept alive for the whole run.
# Wine's desktop process holds the X connection it was started with, so the server is
# started inside the display and shut down before the display goes away.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--inside" ]; then
    shift; BUILD=$1; shift
    eval "$("$ROOT/tools/wine-env.sh" "$BUILD" env)"
    # Without it each close of a managed window waits 2 s for a window manager.
    if [ -x "$BUILD/tools/xwmstate" ]; then "$BUILD/tools/xwmstate" & fi
    wineserver -p 120 2>/dev/null || true
    "$ROOT/tools/wine-env.sh" "$BUILD" init
    set +e
    "$@"
    rc=$?
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    exit $rc
fi
[ $# -ge 2 ] || { echo "usage: tools/xrun.sh BUILD CMD [ARGS...]" >&2; exit 2; }
BUILD=$(cd "$1" && pwd); shift
eval "$("$ROOT/tools/wine-env.sh" "$BUILD" env)"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$ROOT/tools/xrun.sh" --inside "$BUILD" "$@"
