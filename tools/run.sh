#!/usr/bin/env bash
# tools/run.sh: Taplinar between two simulated devices.
# COM1 and COM2 are backed by pseudo-terminal pairs; a simulated host sits at the far end
# of COM1 and a simulated instrument at the far end of COM2, talking to each other
# through Taplinar. Each pair is also a null-modem cable for the modem lines
# (tools/nullmodem.py): the instrument holds its RTS off while busy, the host sends only
# while its CTS is on, both raise DTR, so the log shows the line rows. With a display
# the window opens for you; without one (no DISPLAY) the run is driven under Xvfb: the
# port settings are confirmed, the devices talk for about ten seconds, the log is exported
# through the program's own command, a screenshot is taken, and both paths are printed.
# `tools/run.sh --photos [DIR]` takes the README's photographs of the windows (default
# docs/screenshots).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build"
DEMO="$BUILD/demo"
TALK_SECONDS=${TALK_SECONDS:-10}

build() {
    "$ROOT/tools/test.sh" --setup-only   # installs what is missing and configures
    cmake "$BUILD" >/dev/null            # new folders of tests or tools join the build
    echo "run.sh: building taplinar.exe and tapctl.exe in $BUILD (the first build takes a few minutes; log: $BUILD/run-build.log)"
    if ! cmake --build "$BUILD" --target taplinar tapctl nullmodem xwmstate -j2 >"$BUILD/run-build.log" 2>&1; then
        grep -v -E '^\[ *[0-9]+%\]' "$BUILD/run-build.log" | tail -n 40 >&2
        echo "run.sh: build failed (full log: $BUILD/run-build.log)" >&2
        exit 1
    fi
}

start_devices() {
    python3 "$ROOT/tools/devsim.py" --port "$DEMO/dev1" --role host --seed 7 --modbus 5 --lines "$TAPLINAR_NULL_MODEM" >"$DEMO/host.log" 2>&1 &
    pids+=($!)
    python3 "$ROOT/tools/devsim.py" --port "$DEMO/dev2" --role instrument --modbus 5 --lines "$TAPLINAR_NULL_MODEM" >"$DEMO/instrument.log" 2>&1 &
    pids+=($!)
}

# Runs on the Xvfb display, inside the build tree's Wine environment.
headless() {
    pids=()
    trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
    (cd "$DEMO" && exec wine taplinar.exe) >/dev/null 2>&1 &
    local tap=$!
    wine "$BUILD/tools/tapctl.exe" confirm-ports
    start_devices
    sleep "$TALK_SECONDS"
    local log_path="$DEMO/taplinar-demo-log.txt" shot="$DEMO/taplinar-demo.png"
    rm -f "$log_path"
    import -window root -crop 1000x640+0+0 "$shot"
    wine "$BUILD/tools/tapctl.exe" export "$(winepath -w "$log_path" 2>/dev/null)" >/dev/null
    wine "$BUILD/tools/tapctl.exe" quit || kill "$tap" 2>/dev/null || true
    echo "screenshot: $shot"
    echo "exported log: $log_path"
}

# Photographs of the real program for the README, taken while the devices talk.
photos() {
    local out=$1 ctl="$BUILD/tools/tapctl.exe"
    pids=()
    trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
    (cd "$DEMO" && exec wine taplinar.exe) >/dev/null 2>&1 &
    snap "$out/port-settings.png" "設定 - Taplinar"
    wine "$ctl" confirm-ports
    start_devices
    sleep "$TALK_SECONDS"
    snap "$out/main-active.png" Taplinar
    wine "$ctl" menu v
    snap "$out/popup-menu.png" "#32768"
    wine "$ctl" key 27; wine "$ctl" key 27; sleep 1
    wine "$ctl" command 32776
    snap "$out/log-settings.png" "ログ設定 - Taplinar"
    wine "$ctl" click "ログ設定 - Taplinar" 2
    wine "$ctl" command 32773
    snap "$out/about-box.png" "Taplinar のﾊﾞｰｼﾞｮﾝ情報"
    wine "$ctl" click "Taplinar のﾊﾞｰｼﾞｮﾝ情報" 1
    wine "$ctl" command 2
    snap "$out/exit-question.png" Taplinar "終了します。よろしいですか？？"
    wine "$ctl" answer 1
    echo "photographs: $out"
}

# snap FILE NAME [TEXT]: a photograph of the program's windows, taken only once the window
# it is named for (title or class NAME, showing TEXT) is in front; otherwise the run fails.
snap() {
    local area="" pass
    for pass in appeared painted; do   # a second look after a second: still there, fully drawn
        [ $pass = painted ] && sleep 1
        area=$(wine "$BUILD/tools/tapctl.exe" shows "$2" "${3:-}" | tr -d '\r') && [ -n "$area" ] ||
            { echo "run.sh: $(basename "$1") not taken: $2 is not in front" >&2; exit 1; }
    done
    import -window root -crop "$area" +repage "$1"
}

if [ "${1:-}" = "--headless" ]; then
    headless
    exit 0
fi
if [ "${1:-}" = "--photos-inside" ]; then
    photos "$2"
    exit 0
fi

build
mkdir -p "$DEMO"
cp "$BUILD/taplinar.exe" "$DEMO/taplinar.exe"
# A first start gets a roomy window; later starts keep where the user left it.
if [ ! -f "$DEMO/taplinar.ini" ]; then
    printf '[main-dlg]\r\nValid=1\r\nSX=0\r\nSY=0\r\nEX=1000\r\nEY=640\r\nShow=1\r\nMaximize=0\r\n' > "$DEMO/taplinar.ini"
fi
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
for n in 1 2; do
    rm -f "$DEMO/tap$n" "$DEMO/dev$n"
    python3 "$ROOT/tools/ptypair.py" --link-a "$DEMO/tap$n" --link-b "$DEMO/dev$n" --paths-file "$DEMO/pair$n.json" &
    pids+=($!)
done
for n in 1 2; do
    for _ in $(seq 50); do [ -e "$DEMO/tap$n" ] && [ -e "$DEMO/dev$n" ] && break; sleep 0.1; done
    "$ROOT/tools/wine-env.sh" "$BUILD" port "$n" "$(readlink -f "$DEMO/tap$n")" \
        "Simulated serial port" "Taplinar demo devices" "USB\\VID_1A86&PID_7523"
done
rm -f "$DEMO/lines"
eval "$(python3 "$ROOT/tools/nullmodem.py" env "$BUILD" "$DEMO/lines" "$DEMO/tap1:$DEMO/dev1" "$DEMO/tap2:$DEMO/dev2")"

if [ "${1:-}" = "--photos" ]; then
    out=$(mkdir -p "${2:-$ROOT/docs/screenshots}" && cd "${2:-$ROOT/docs/screenshots}" && pwd)
    "$ROOT/tools/xrun.sh" "$BUILD" "$0" --photos-inside "$out"
elif [ -n "${DISPLAY:-}" ]; then
    eval "$("$ROOT/tools/wine-env.sh" "$BUILD" env)"
    start_devices
    cd "$DEMO" && wine taplinar.exe
else
    "$ROOT/tools/xrun.sh" "$BUILD" "$0" --headless
fi
