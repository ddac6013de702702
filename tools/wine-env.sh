#!/usr/bin/env bash
# The private Wine environment of one build tree.
#
#   tools/wine-env.sh BUILD init                 create or refresh BUILD/wineprefix
#   tools/wine-env.sh BUILD port N PATH [DESC [MFG [HWID]]]
#                                                map COMn to the Unix device PATH and register it
#                                                as a present device (description, maker, hardware id)
#   tools/wine-env.sh BUILD unport N [N...]      remove the mapping and the device of each COMn
#   tools/wine-env.sh BUILD run CMD [ARGS...]    run a command (wine ...) in that environment
#   tools/wine-env.sh BUILD env                  print the environment as export lines
#
# The prefix is created once per build tree (about 10 s) and then reused.
set -euo pipefail

usage() { sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
[ $# -ge 2 ] || usage
BUILD=$(cd "$1" 2>/dev/null && pwd) || { mkdir -p "$1"; BUILD=$(cd "$1" && pwd); }
CMD=$2; shift 2

export WINEPREFIX="$BUILD/wineprefix"
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

# A build tree of 64-bit Windows programs (made where the kernel runs no 32-bit programs)
# runs them on 64-bit Wine: "wine" (and the "wine-stable" that wineboot, winepath and
# regedit call) is 64-bit Wine there. WINELOADER names the shim too, so that a 32-bit
# program Wine would start (its own 32-bit set-up at prefix creation) fails at once
# instead of waiting on an emulator.
use_wine64_if_needed() {
    grep -q '^CMAKE_TOOLCHAIN_FILE:.*x86_64' "$BUILD/CMakeCache.txt" 2>/dev/null || return 0
    local bin="$BUILD/wine64-bin"
    if [ ! -x "$bin/wine" ]; then
        mkdir -p "$bin"
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' > "$bin/wine"
        chmod +x "$bin/wine"
        ln -sf wine "$bin/wine-stable"
        ln -sf /usr/lib/wine/wine64 "$bin/wine64"
    fi
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
    export WINELOADER="$bin/wine64"
}
use_wine64_if_needed

# REGEDIT4 files are read as ANSI text, which under ja_JP is Shift-JIS.
import_reg() {
    local file; file=$(mktemp --suffix=.reg)
    cat > "$file"
    wine regedit /S "$(winepath -w "$file" 2>/dev/null)" >/dev/null 2>&1
    rm -f "$file"
}

# REG_MULTI_SZ in a REGEDIT4 file: ANSI bytes, each text ended by 00, the list by another 00.
multi_sz_hex() {
    [ -n "$1" ] || { echo 00,00; return; }
    printf '%s' "$1" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//' | sed 's/$/,00,00/'
}

reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }

init_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine-env.sh: creating the Wine prefix $WINEPREFIX (once per build tree)" >&2
        wineboot -i >/dev/null 2>&1 || true
    fi
    # Xvfb has no window manager: let Wine draw the frame through the normal messages,
    # and keep the windows to itself (a managed window waits up to 2 s on every close
    # for a manager's answer, which tools/xrun.sh gives with tools/xwmstate). The
    # program itself stays managed: an unmanaged window cannot start maximised.
    # Caption text is white, as on Windows.
    import_reg <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\AppDefaults\taplinar.exe\X11 Driver]
"Managed"="Y"

[HKEY_CURRENT_USER\Control Panel\Colors]
"TitleText"="255 255 255"
REG
}

map_port() {
    # A maker or hardware id given empty stays empty (a device may have none).
    local n=$1 path=$2 desc=${3:-"Simulated serial port (COM$1)"} mfg=${4-"Taplinar test devices"}
    local hwid=${5-"USB\\VID_0403&PID_6001"}
    local inst; inst=$(printf '%04d' "$n")
    local driver="{4d36e978-e325-11ce-bfc1-08002be10318}\\$inst"
    {
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM%s"="%s"\n\n' "$n" "$(reg_escape "$path")"
        printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%s]\n' "$inst"
        printf '"Driver"="%s"\n' "$(reg_escape "$driver")"
        printf '"DeviceDesc"="%s"\n' "$(reg_escape "$desc")"
        printf '"Mfg"="%s"\n' "$(reg_escape "$mfg")"
        printf '"Class"="Ports"\n"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"\n'
        printf '"HardwareID"=hex(7):%s\n\n' "$(multi_sz_hex "$hwid")"
        printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%s\\Device Parameters]\n' "$inst"
        printf '"PortName"="COM%s"\n' "$n"
    } | iconv -f UTF-8 -t CP932 | import_reg
    # Wine builds the device links from the port table when its services start; set the
    # link too, so that a running Wine sees the port at once.
    local link; link="$WINEPREFIX/dosdevices/com$n"
    rm -f "$link"; ln -s "$path" "$link"
}

# Several ports in one import: each regedit start costs a Wine process.
unmap_ports() {
    local n
    {
        printf 'REGEDIT4\n\n'
        for n in "$@"; do
            printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM%s"=-\n\n[-HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%04d]\n\n' "$n" "$n"
        done
    } | import_reg
    for n in "$@"; do rm -f "$WINEPREFIX/dosdevices/com$n"; done
}

case "$CMD" in
    init) init_prefix ;;
    port) [ $# -ge 2 ] || usage; init_prefix; map_port "$@" ;;
    unport) [ $# -ge 1 ] || usage; unmap_ports "$@" ;;
    run) exec "$@" ;;
    env) printf 'export WINEPREFIX=%q WINEARCH=%q WINEDLLOVERRIDES=%q WINEDEBUG=%q LANG=%q LC_ALL=%q PATH=%q\n' \
            "$WINEPREFIX" "$WINEARCH" "$WINEDLLOVERRIDES" "$WINEDEBUG" "$LANG" "$LC_ALL" "$PATH"
         [ -z "${WINELOADER:-}" ] || printf 'export WINELOADER=%q\n' "$WINELOADER" ;;
    *) usage ;;
esac
