#!/usr/bin/env bash
# with_rel_ports.sh BUILD CMD [ARGS...]: run CMD with two pty pairs mapped into the build
# tree's Wine prefix, COM1 <-> COM3 and COM2 <-> COM4, that CMD may unplug and plug in
# again while it runs. CMD finds a control folder in REL_CTL_DIR (a Unix path) and
# writes a request file there:
#   unplug-N   the pair of COMn goes away (both ends vanish, as an unplugged adapter)
#   plug-N     a new pair takes the same two COM numbers
# The request file is removed once it has been carried out.
# Where mounting works (root), REL_FULL_DIR is a 64 KiB file system for a disk that
# fills up and REL_RO_DIR a read-only one.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$1; shift
DIR=$(mktemp -d /tmp/taplinar-rel.XXXXXX)
export REL_CTL_DIR="$DIR/ctl"
mkdir -p "$REL_CTL_DIR"
watcher=""
mounts=()
cleanup() {
    for m in "${mounts[@]}"; do umount -l "$m" 2>/dev/null || true; done
    [ -n "$watcher" ] && kill "$watcher" 2>/dev/null || true
    "$ROOT/tools/wine-env.sh" "$BUILD" unport 1 2 3 4 || true
    for f in "$DIR"/pid-*; do [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null || true; done
    rm -rf "$DIR"
}
trap cleanup EXIT

# Pair 1 carries COM1/COM3, pair 2 carries COM2/COM4.
plug() {
    local n=$1 a=$1 b=$(( $1 + 2 )) gen
    gen=$(date +%s%N)
    socat pty,raw,echo=0,link="$DIR/com$a-$gen" pty,raw,echo=0,link="$DIR/com$b-$gen" 2>/dev/null &
    echo $! > "$DIR/pid-$n"
    for c in $a $b; do
        for _ in $(seq 50); do [ -e "$DIR/com$c-$gen" ] && break; sleep 0.1; done
        "$ROOT/tools/wine-env.sh" "$BUILD" port "$c" "$(readlink -f "$DIR/com$c-$gen")" \
            "Test serial port $c" "Taplinar test devices" "USB\\VID_1A86&PID_7523"
    done
}

unplug() {
    local n=$1
    [ -f "$DIR/pid-$n" ] || return 0
    kill "$(cat "$DIR/pid-$n")" 2>/dev/null || true
    rm -f "$DIR/pid-$n"
}

mkdir -p "$DIR/full" "$DIR/ro"
if mount -t tmpfs -o size=64k tmpfs "$DIR/full" 2>/dev/null; then
    mounts+=("$DIR/full"); export REL_FULL_DIR="$DIR/full"
fi
if mount -t tmpfs -o ro,size=64k tmpfs "$DIR/ro" 2>/dev/null; then
    mounts+=("$DIR/ro"); export REL_RO_DIR="$DIR/ro"
fi
plug 1
plug 2
(
    while true; do
        for req in "$REL_CTL_DIR"/*; do
            [ -f "$req" ] || continue
            name=$(basename "$req")
            case "$name" in
                unplug-[12]) unplug "${name#unplug-}" ;;
                plug-[12]) unplug "${name#plug-}"; plug "${name#plug-}" ;;
                *) continue ;;
            esac
            rm -f "$req"
        done
        sleep 0.1
    done
) &
watcher=$!
"$@"
