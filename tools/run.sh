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
# `tools/run.sh --photos [DIR]` takes the README's photographs of the windows into DIR;
# without DIR it overwrites the ones in docs/screenshots.
# `--locale L` first (or TAPLINAR_LOCALE=L) runs the program under another locale, as on a
# non-Japanese Windows: `tools/run.sh --locale en_US.UTF-8`.
set -euo pipefail
if [ "${1:-}" = "--locale" ]; then export TAPLINAR_LOCALE=$2; shift 2; fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build"
DEMO="$BUILD/demo"
TALK_SECONDS=${TALK_SECONDS:-10}

TARGETS=(taplinar tapctl nullmodem xwmstate)

build() {
    "$ROOT/tools/test.sh" --setup-only   # installs what is missing and configures
    cmake "$BUILD" >/dev/null            # new folders of tests or tools join the build
    # make's dry run names what it would compile or link; nothing named, nothing said.
    if cmake --build "$BUILD" --target "${TARGETS[@]}" -- -n 2>/dev/null | grep -q -E 'Building|Linking|Generating'; then
        echo "run.sh: building taplinar.exe and tapctl.exe in $BUILD (the first build takes a few minutes; log: $BUILD/run-build.log)"
    fi
    if ! cmake --build "$BUILD" --target "${TARGETS[@]}" -j2 >"$BUILD/run-build.log" 2>&1; then
        grep -v -E '^\[ *[0-9]+%\]' "$BUILD/run-build.log" | tail -n 40 >&2
        echo "run.sh: build failed (full log: $BUILD/run-build.log)" >&2
        exit 1
    fi
}

start_devices() {
    python3 "$ROOT/tools/devsim.py" --port "$DEMO/dev1" --role host --seed 7 --lines "$TAPLINAR_NULL_MODEM" >"$DEMO/host.log" 2>&1 &
    pids+=($!)
    python3 "$ROOT/tools/devsim.py" --port "$DEMO/dev2" --role instrument --lines "$TAPLINAR_NULL_MODEM" >"$DEMO/instrument.log" 2>&1 &
    pids+=($!)
}

# Runs on the Xvfb display, inside the build tree's Wine environment.
headless() {
    pids=()
    trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
    (cd "$DEMO" && exec env ${TAPLINAR_LOCALE:+LANG=$TAPLINAR_LOCALE LC_ALL=$TAPLINAR_LOCALE} wine taplinar.exe) >/dev/null 2>&1 &
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
    echo "read it with: iconv -c -f CP932 -t UTF-8 $log_path | less"
}

# Photographs of the real program for the README, taken while the devices talk.
photos() {
    local out=$1 ctl="$BUILD/tools/tapctl.exe"
    pids=()
    trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
    (cd "$DEMO" && exec env ${TAPLINAR_LOCALE:+LANG=$TAPLINAR_LOCALE LC_ALL=$TAPLINAR_LOCALE} wine taplinar.exe) >/dev/null 2>&1 &
    snap "$out/port-settings.png" "設定 - Taplinar"
    wine "$ctl" confirm-ports
    start_devices
    sleep "$TALK_SECONDS"
    snap "$out/main-active.png" Taplinar
    annotate "$out/main-active.png" "$out/main-annotated.png"
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

# annotate IN OUT: the main window's photograph with the parts the README explains boxed
# and numbered above the window: header, signal, time, hex and text columns of the left
# pane. The demo's window is 1000x640 (its INI file), so the columns sit where these are.
annotate() {
    local args=(-background white -gravity north -splice 0x26 -gravity northwest
                -fill none -stroke '#d01010' -strokewidth 2) box x n=1 font
    for box in "6,68 250,81 128" "6,84 31,660 18" "33,84 80,660 56" "84,84 400,660 242" "403,84 478,660 440"; do
        read -r a b x <<< "$box"
        args+=(-fill none -stroke '#d01010' -draw "rectangle $a $b" -draw "line $x,24 $x,${a#*,}"
               -fill '#d01010' -stroke white -draw "circle $x,12 $((x + 11)),12")
    done
    font=$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null) && args+=(-font "$font")
    args+=(-stroke none -fill white -pointsize 15)
    for x in 128 18 56 242 440; do
        args+=(-annotate "+$((x - 5))+5" "$((n++))")
    done
    convert "$1" "${args[@]}" "$2"
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
# The demo's ports go with it: a later program would list COM ports without a device.
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    "$ROOT/tools/wine-env.sh" "$BUILD" unport 1 2 || true
}
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
    cd "$DEMO" && env ${TAPLINAR_LOCALE:+LANG=$TAPLINAR_LOCALE LC_ALL=$TAPLINAR_LOCALE} wine taplinar.exe
else
    echo "run.sh: no display: the demo runs on a virtual one (Xvfb) for about $((TALK_SECONDS + 20)) s, then prints where its photograph and log are"
    "$ROOT/tools/xrun.sh" "$BUILD" "$0" --headless
fi
