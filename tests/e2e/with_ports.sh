#!/usr/bin/env bash
# with_ports.sh BUILD CMD [ARGS...]: run CMD with two pty pairs mapped into the build tree's
# Wine prefix: COM1 <-> COM3 and COM2 <-> COM4. Taplinar opens COM1 and COM2; the test
# plays the two devices on COM3 and COM4, each pair a null-modem cable with modem lines.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$1; shift
DIR=$(mktemp -d /tmp/taplinar-ports.XXXXXX)
pids=()
cleanup() {
    "$ROOT/tools/wine-env.sh" "$BUILD" unport 1 2 3 4 || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$DIR"
}
trap cleanup EXIT
for pair in "1 3" "2 4"; do
    read -r a b <<< "$pair"
    socat pty,raw,echo=0,link="$DIR/com$a" pty,raw,echo=0,link="$DIR/com$b" 2>/dev/null &
    pids+=($!)
done
for n in 1 2 3 4; do
    for _ in $(seq 50); do [ -e "$DIR/com$n" ] && break; sleep 0.1; done
    "$ROOT/tools/wine-env.sh" "$BUILD" port "$n" "$(readlink -f "$DIR/com$n")" \
        "Test serial port $n" "Taplinar test devices" "USB\\VID_1A86&PID_7523"
done
eval "$(python3 "$ROOT/tools/nullmodem.py" env "$BUILD" "$DIR/lines" "$DIR/com1:$DIR/com3" "$DIR/com2:$DIR/com4")"
"$@"
