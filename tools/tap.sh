#!/usr/bin/env bash
# tools/tap.sh: Taplinar on your own display, with the serial devices of this machine as
# COM ports listed the way Windows lists them (device name and maker in the tool tips).
#
#   tools/tap.sh [DEVICE...]                    the devices given, or every one present
#   tools/tap.sh --register-only [DEVICE...]    register the COM ports and print them; no window
#   tools/tap.sh --build DIR ...                use the build tree DIR instead of build/
#   tools/tap.sh --record FILE ...              record the log into FILE from the start (appended to);
#                                               a FILE ending in .pcapng gets a Wireshark capture
#   tools/tap.sh --headless --record FILE [DEVICE...]
#                                               no screen needed: the program runs on a private
#                                               virtual display between the first two devices, with
#                                               the other settings of its last run; Ctrl+C or SIGTERM
#                                               ends it as its File menu does, so the file ends whole
#
# Devices found: /dev/ttyUSB*, /dev/ttyACM*, and /dev/ttyS* where the kernel reports a UART.
# Each keeps its COM number from run to run (keyed by its /dev/serial/by-id name where it
# has one); every COM port of the prefix whose device is gone is unregistered, whoever
# registered it. A device you cannot open is reported with the command that fixes it and
# left out (named on the command line, it stops the run before Wine starts). An FTDI
# adapter's latency timer is set to 1 ms where you may write it, otherwise reported with
# the command that sets it. Apart from that and the set-up every script here shares
# (tools/test.sh --setup-only: the i386 architecture, the packages, the Japanese locale),
# nothing on the system is changed. TAP_SYSFS and TAP_DEV stand in for /sys and /dev (the
# tests use fake trees).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SYSFS=${TAP_SYSFS:-/sys}
DEV=${TAP_DEV:-/dev}
BUILD="$ROOT/build"
BUILD_GIVEN=0
REGISTER_ONLY=0
RECORD=""

HEADLESS=0

usage() { sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
die() { echo "tap.sh: $*" >&2; exit 1; }

# --- The devices -------------------------------------------------------------------------
# One record per device, in parallel arrays: kernel name, node to open, key of its COM
# number, description, maker, hardware id.
NAMES=() NODES=() KEYS=() DESCS=() MFGS=() HWIDS=()
declare -A TAKEN=()   # COM numbers of other programs' ports that stay

index_of_key() {
    local i
    for i in "${!KEYS[@]}"; do [ "${KEYS[$i]}" = "$1" ] && { echo "$i"; return 0; }; done
    return 1
}

read_attr() { [ -r "$1" ] && tr -d '\000-\037' < "$1" | sed 's/^ *//; s/ *$//' || true; }

# Registry texts are Shift-JIS: whatever has no Shift-JIS form becomes a look-alike or '?'.
# Bytes that are not UTF-8 at all are dropped.
registry_text() { printf '%s' "$1" | { iconv -c -f UTF-8 -t CP932//TRANSLIT 2>/dev/null || true; } | iconv -f CP932 -t UTF-8; }

# The kernel lists a serial core port with no UART behind it as type 0.
is_real_uart() {
    local type; type=$(read_attr "$SYSFS/class/tty/$1/type")
    [ -n "$type" ] && [ "$type" != 0 ]
}

# The USB device a tty hangs off: the nearest directory above it with a vendor id.
usb_device_dir() {
    local dir; dir=$(readlink -f "$SYSFS/class/tty/$1/device" 2>/dev/null) || return 1
    local top; top=$(readlink -f "$SYSFS")
    while [ -n "$dir" ] && [ "$dir" != "$top" ] && [ "$dir" != / ]; do
        [ -f "$dir/idVendor" ] && { echo "$dir"; return 0; }
        dir=$(dirname "$dir")
    done
    return 1
}

# The driver that knows the hardware. Since Linux 6.5 the serial core puts devices of its
# own (bus serial-base, drivers "port" and "ctrl") between a UART's device and its tty;
# the driver wanted is the one of the first device above them.
driver_name() {
    local dir top drv
    dir=$(readlink -f "$SYSFS/class/tty/$1/device" 2>/dev/null) || { echo serial; return 0; }
    top=$(readlink -f "$SYSFS")
    while [ -n "$dir" ] && [ "$dir" != "$top" ] && [ "$dir" != / ]; do
        if [ -e "$dir/driver" ]; then
            drv=$(readlink -f "$dir/driver")
            [ "$(basename "$(dirname "$(dirname "$drv")")")" = serial-base ] || { basename "$drv"; return 0; }
        fi
        dir=$(dirname "$dir")
    done
    echo serial
}

# The UART the kernel found behind a built-in port, named as the kernel names it.
uart_name() {
    local names=(unknown 8250 16450 16550 16550A Cirrus ST16650 ST16650V2 TI16750 Startech
                 16C950/954 ST16654 XR16850 RSA NS16550A XScale)
    local type; type=$(read_attr "$SYSFS/class/tty/$1/type")
    case $type in ''|*[!0-9]*) return 0 ;; esac
    [ "$type" -lt ${#names[@]} ] && echo "${names[$type]}" || echo "UART type $type"
}

# The /dev/serial/by-id link of a node; it names the device, not the socket it is in.
by_id_path() {
    local node link
    node=$(readlink -f "$1")
    for link in "$DEV"/serial/by-id/*; do
        [ -e "$link" ] && [ "$(readlink -f "$link")" = "$node" ] && { echo "$link"; return 0; }
    done
    return 1
}

add_device() {  # add_device NAME NODE
    local name=$1 node=$2 desc mfg hwid usb driver
    driver=$(driver_name "$name")
    if usb=$(usb_device_dir "$name"); then
        desc=$(read_attr "$usb/product") mfg=$(read_attr "$usb/manufacturer")
        hwid=$(printf 'USB\\VID_%s&PID_%s' "$(read_attr "$usb/idVendor" | tr a-f A-F)" \
                                            "$(read_attr "$usb/idProduct" | tr a-f A-F)")
        desc=${desc:-$driver} mfg=${mfg:-$driver}
    elif [ -d "$SYSFS/class/tty/$name" ]; then
        desc="$(uart_name "$name") 通信ポート ($name)" mfg=$driver hwid=$driver
        desc=${desc# }
    else
        desc="通信ポート ($node)" mfg="" hwid=""
    fi
    local key; key=$(by_id_path "$node" || echo "$node")
    index_of_key "$key" >/dev/null && return 0   # named twice: one port
    NAMES+=("$name") NODES+=("$node") KEYS+=("$key")
    DESCS+=("$(registry_text "$desc")") MFGS+=("$(registry_text "$mfg")") HWIDS+=("$(registry_text "$hwid")")
}

find_present() {
    local entry name
    for entry in "$SYSFS"/class/tty/ttyUSB* "$SYSFS"/class/tty/ttyACM* "$SYSFS"/class/tty/ttyS*; do
        [ -e "$entry" ] || continue
        name=$(basename "$entry")
        [ -c "$DEV/$name" ] || continue
        case $name in ttyS*) is_real_uart "$name" || continue ;; esac
        echo "$name"
    done | sort -V
}

# The kernel's name of a device given by path: a by-id link leads to it link by link.
kernel_name() {
    local path=$1 target hops
    for hops in 1 2 3 4 5 6 7 8; do
        [ -d "$SYSFS/class/tty/$(basename "$path")" ] && { basename "$path"; return 0; }
        [ -L "$path" ] || break
        target=$(readlink "$path")
        case $target in /*) path=$target ;; *) path=$(dirname "$path")/$target ;; esac
    done
    basename "$1"
}

find_devices() {
    local name path
    if [ $# -eq 0 ]; then
        for name in $(find_present); do add_device "$name" "$DEV/$name"; done
        return 0
    fi
    for path in "$@"; do
        [ -e "$path" ] || die "$path: no such device"
        add_device "$(kernel_name "$path")" "$path"
    done
}

# --- Access ------------------------------------------------------------------------------
# What to tell someone who cannot open NODE read-write, and how they get access.
access_problem() {
    local node=$1 user group mode owner
    user=$(id -un)
    read -r mode owner group < <(stat -L -c '%A %U %G' "$node")
    echo "$node: you ($user) cannot open it for reading and writing; it is $mode $owner:$group."
    if [ "${mode:4:2}" != rw ] || [ "$group" = root ]; then
        echo "  Only its owner may use it. For this session: sudo chmod o+rw $node"
    elif id -nG "$user" | tr ' ' '\n' | grep -qx "$group"; then
        echo "  You are in group $group, but this session started before you were added."
        echo "  Fix: log out and in again (or run: newgrp $group)."
    else
        echo "  You are not in group $group. Fix, once:"
        echo "    sudo usermod -aG $group $user"
        echo "  then log out and in again."
    fi
}

# Devices named on the command line must all open. Of the devices found, those that
# cannot be opened are left out, so that one root-only built-in port does not keep the
# adapters from being used.
check_access() {
    local i failed=0 keep=()
    for i in "${!NODES[@]}"; do
        if [ -r "${NODES[$i]}" ] && [ -w "${NODES[$i]}" ]; then keep+=("$i"); continue; fi
        access_problem "${NODES[$i]}" >&2
        failed=1
    done
    [ $failed = 0 ] && return 0
    [ "$1" = named ] && die "nothing was started; fix the access above and run again"
    [ ${#keep[@]} -gt 0 ] || die "none of the devices can be opened; fix the access above and run again"
    echo "tap.sh: the devices above are left out; the others go on" >&2
    keep_devices "${keep[@]}"
}

keep_devices() {  # keep_devices INDEX...: the records at these indexes, in this order
    local i names=() nodes=() keys=() descs=() mfgs=() hwids=()
    for i in "$@"; do
        names+=("${NAMES[$i]}") nodes+=("${NODES[$i]}") keys+=("${KEYS[$i]}")
        descs+=("${DESCS[$i]}") mfgs+=("${MFGS[$i]}") hwids+=("${HWIDS[$i]}")
    done
    NAMES=("${names[@]}") NODES=("${nodes[@]}") KEYS=("${keys[@]}")
    DESCS=("${descs[@]}") MFGS=("${mfgs[@]}") HWIDS=("${hwids[@]}")
}

# An FTDI adapter holds received bytes until its latency timer runs out (16 ms by default)
# before the PC sees them: a tap of two such adapters adds that much to each direction,
# enough to break a reply time-out or the frame gap of a fieldbus protocol.
tune_latency() {
    local name file ms
    for name in "${NAMES[@]}"; do
        file="$SYSFS/class/tty/$name/device/latency_timer"
        [ -f "$file" ] || continue
        ms=$(read_attr "$file")
        [ "$ms" = 1 ] && continue
        if [ -w "$file" ] && { echo 1 > "$file"; } 2>/dev/null; then
            echo "$name: latency timer set from $ms ms to 1 ms" >&2
        else
            echo "$name: latency timer $ms ms: received bytes wait up to $ms ms before they are relayed." >&2
            echo "  For 1 ms (until the adapter is plugged in again): echo 1 | sudo tee $file" >&2
        fi
    done
}

# --- COM numbers -------------------------------------------------------------------------
# The numbers given out, one "N<TAB>KEY" a line, kept in the Wine prefix beside the ports.
map_file() { echo "$BUILD/wineprefix/taplinar-ports"; }

wine_env() { "$ROOT/tools/wine-env.sh" "$BUILD" "$@"; }

# Every COM port the prefix maps, "N<TAB>PATH<TAB>WHERE" a line, whoever made it (the
# demo, a test, a user): Wine's port table as last saved (WHERE "table"), and the links a
# running Wine reads ("link"; Wine also links the built-in ports it finds by itself).
registered_ports() {
    local prefix="$BUILD/wineprefix" link
    if [ -f "$prefix/system.reg" ]; then
        sed -n '/^\[Software\\\\Wine\\\\Ports\]/,/^\[/ s/^"COM\([0-9]\+\)"="\(.*\)"$/\1\t\2\ttable/p' "$prefix/system.reg"
    fi
    for link in "$prefix"/dosdevices/com*; do
        [ -L "$link" ] && printf '%s\t%s\tlink\n' "${link##*/com}" "$(readlink "$link")"
    done
    return 0
}

is_our_node() {
    local node
    for node in "${NODES[@]}"; do [ "$(readlink -f "$node")" = "$1" ] && return 0; done
    return 1
}

# Unregisters the ports of devices that are gone, ours or not, so that the port settings
# dialog offers none of them. A pseudo-terminal counts as gone unless it is one of this
# run's devices: the demo and the tests map them for the length of a run, and once they
# closed, their /dev/pts number soon belongs to another terminal. The numbers of the
# numbers that stay in the port table are noted in TAKEN, so that no new device is given
# one of them.
remove_leftover_ports() {
    local n path where
    local -A seen=()
    TAKEN=()
    while IFS=$'\t' read -r -u 3 n path where; do
        [ -z "${seen[$n $path]:-}" ] || continue   # in the table and linked: one port
        seen[$n $path]=1
        is_our_node "$path" && continue
        if [ -e "$path" ] && [[ $path != /dev/pts/* ]]; then
            [ "$where" = link ] || TAKEN[$n]=1
            continue
        fi
        wine_env unport "$n"
    done 3< <(registered_ports)
}

# Fills COMS[i] for every device: its remembered number, or the lowest one free.
# Devices that are gone lose their number and their port; devices present but not
# chosen this time keep their number and lose their port.
assign_numbers() {
    local file; file=$(map_file)
    local -A used=()
    local kept=() n key i
    for n in "${!TAKEN[@]}"; do used[$n]=1; done
    COMS=()
    if [ -f "$file" ]; then
        # fd 3: Wine started in the loop must not eat the lines.
        while IFS=$'\t' read -r -u 3 n key; do
            [ -n "$n" ] || continue
            if i=$(index_of_key "$key"); then
                COMS[$i]=$n
            else
                wine_env unport "$n"
                [ -e "$key" ] || continue
            fi
            used[$n]=1
            kept+=("$n"$'\t'"$key")
        done 3< "$file"
    fi
    for i in "${!KEYS[@]}"; do
        [ -n "${COMS[$i]:-}" ] && continue
        n=1
        while [ -n "${used[$n]:-}" ]; do n=$((n + 1)); done
        COMS[$i]=$n used[$n]=1
        kept+=("$n"$'\t'"${KEYS[$i]}")
    done
    if [ ${#kept[@]} -gt 0 ]; then printf '%s\n' "${kept[@]}"; fi | sort -n > "$file.new"
    mv "$file.new" "$file"
}

register_ports() {
    local i
    remove_leftover_ports
    wine_env init
    assign_numbers
    for i in "${!NODES[@]}"; do
        wine_env port "${COMS[$i]}" "$(readlink -f "${NODES[$i]}")" "${DESCS[$i]}" "${MFGS[$i]}" "${HWIDS[$i]}"
        printf 'COM%-3s %-14s %s %s  %s\n' "${COMS[$i]}" "${NAMES[$i]}" "${MFGS[$i]}" "${DESCS[$i]}" "${HWIDS[$i]}"
    done
    [ ${#NODES[@]} -gt 0 ] || echo "no serial devices found"
    tune_latency
}

# --- Build and start ---------------------------------------------------------------------
build() {
    if [ $BUILD_GIVEN = 0 ]; then
        "$ROOT/tools/test.sh" --setup-only   # installs what is missing and configures
        cmake "$BUILD" >/dev/null
    fi
    local targets=(taplinar); [ $HEADLESS = 0 ] || targets+=(tapctl)
    # make's dry run names what it would compile or link; nothing named, nothing said.
    if cmake --build "$BUILD" --target "${targets[@]}" -- -n 2>/dev/null | grep -q -E 'Building|Linking|Generating'; then
        echo "tap.sh: building taplinar.exe in $BUILD (the first build takes a few minutes; log: $BUILD/tap-build.log)" >&2
    fi
    if ! cmake --build "$BUILD" --target "${targets[@]}" -j2 > "$BUILD/tap-build.log" 2>&1; then
        grep -v -E '^\[ *[0-9]+%\]' "$BUILD/tap-build.log" | tail -n 40 >&2
        die "build failed (full log: $BUILD/tap-build.log)"
    fi
}

# The program runs from a folder of its own, where its INI file keeps the user's settings.
start_program() {
    local home="$BUILD/tap"
    mkdir -p "$home"
    cp -u "$BUILD/taplinar.exe" "$home/taplinar.exe"
    eval "$(wine_env env)"
    cd "$home"
    [ -z "$RECORD" ] || exec wine taplinar.exe /record "$(winepath -w "$RECORD")"
    exec wine taplinar.exe
}

# --- Without a screen --------------------------------------------------------------------
# Sets port1 and port2 in the [setting] section of the INI file $1 (made when missing).
set_ini_ports() {
    local ini=$1
    [ -f "$ini" ] || printf '[setting]\r\n' > "$ini"
    grep -q '^\[setting\]' "$ini" || printf '[setting]\r\n' >> "$ini"
    awk -v p1="$2" -v p2="$3" '
        function put() { if (inside && !done) { printf "port1=%s\r\nport2=%s\r\n", p1, p2; done = 1 } }
        { sub(/\r$/, "") }
        /^\[/ { put(); inside = ($0 == "[setting]") }
        inside && /^port[12]=/ { next }
        { printf "%s\r\n", $0 }
        END { put() }' "$ini" > "$ini.new"
    mv "$ini.new" "$ini"
}

HEADLESS_TMP="" XVFB_PID="" PROGRAM_PID=""

# Ends the program as its own exit does (the recording completes its file), then the
# Wine server and the display; nothing of the run stays.
stop_headless() {
    trap - INT TERM
    if [ -n "$PROGRAM_PID" ] && kill -0 "$PROGRAM_PID" 2>/dev/null; then
        echo "tap.sh: stopping the program; the recording completes its file" >&2
        wine "$BUILD/tools/tapctl.exe" quit >/dev/null 2>&1 || true
        local waited=0
        while kill -0 "$PROGRAM_PID" 2>/dev/null && [ $waited -lt 300 ]; do sleep 0.1; waited=$((waited + 1)); done
        kill -0 "$PROGRAM_PID" 2>/dev/null && { echo "tap.sh: the program did not end; killed" >&2; kill -KILL "$PROGRAM_PID"; }
    fi
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    [ -z "$XVFB_PID" ] || { kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null || true; }
    [ -z "$HEADLESS_TMP" ] || rm -rf "$HEADLESS_TMP"
    PROGRAM_PID="" XVFB_PID="" HEADLESS_TMP=""
}

# The children run in sessions of their own, so that Ctrl+C reaches only this script,
# which then stops them in order.
start_display() {
    HEADLESS_TMP=$(mktemp -d /tmp/taplinar-headless.XXXXXX)
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$HEADLESS_TMP/display" 2>/dev/null &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do [ -s "$HEADLESS_TMP/display" ] && break; sleep 0.1; done
    [ -s "$HEADLESS_TMP/display" ] || die "the virtual display did not start"
    export DISPLAY=":$(head -n1 "$HEADLESS_TMP/display")"
}

start_headless() {
    [ ${#NODES[@]} -ge 2 ] || die "--headless needs two devices; found ${#NODES[@]}"
    local home="$BUILD/tap"
    mkdir -p "$home"
    cp -u "$BUILD/taplinar.exe" "$home/taplinar.exe"
    set_ini_ports "$home/taplinar.ini" "${COMS[0]}" "${COMS[1]}"
    eval "$(wine_env env)"
    trap stop_headless EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    # A Wine server left from another display would keep the program off this one.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    start_display
    (cd "$home" && exec setsid wine taplinar.exe /record "$(winepath -w "$RECORD" 2>/dev/null)") >/dev/null 2>&1 &
    PROGRAM_PID=$!
    wine "$BUILD/tools/tapctl.exe" confirm-ports >/dev/null 2>&1 || die "the program did not open COM${COMS[0]} and COM${COMS[1]}"
    echo "tap.sh: recording COM${COMS[0]} (${NODES[0]}) and COM${COMS[1]} (${NODES[1]}) into $RECORD"
    echo "tap.sh: stop with Ctrl+C or: kill $$"
    while kill -0 "$PROGRAM_PID" 2>/dev/null; do wait "$PROGRAM_PID" || true; done
    echo "tap.sh: the program has ended" >&2
}

while [ $# -gt 0 ]; do
    case $1 in
        --headless) HEADLESS=1; shift ;;
        --register-only) REGISTER_ONLY=1; shift ;;
        --build) [ $# -ge 2 ] || usage; BUILD=$(cd "$2" && pwd) || die "$2: no build tree"; BUILD_GIVEN=1; shift 2 ;;
        --record) [ $# -ge 2 ] || usage; RECORD=$(realpath -m "$2"); shift 2 ;;
        -h|--help) usage ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done

[ $HEADLESS = 0 ] || [ -n "$RECORD" ] || die "--headless records: give --record FILE"
if [ $REGISTER_ONLY = 0 ] && [ $HEADLESS = 0 ] && [ -z "${DISPLAY:-}" ]; then
    die "no display (DISPLAY is not set); tools/tap.sh --headless --record FILE records without one, tools/run.sh runs a demo"
fi
find_devices "$@"
check_access "$([ $# -gt 0 ] && echo named || echo found)"
[ $REGISTER_ONLY = 1 ] || build
register_ports
[ $REGISTER_ONLY = 1 ] || [ $HEADLESS = 1 ] || start_program
[ $HEADLESS = 0 ] || start_headless
