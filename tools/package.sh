#!/usr/bin/env bash
# tools/package.sh: the zip for Windows users, dist/taplinar-VERSION-win32.zip, holding the
# release taplinar.exe (optimised, stripped, static: one file that runs on a Windows PC
# with nothing installed) and a short how-to in Japanese and English.
#
#   tools/package.sh                 release build in build-release/ (its exe stripped), then the zip
#   tools/package.sh --exe PATH      package a stripped copy of an exe already built
#   tools/package.sh --out DIR       write the zip into DIR instead of dist/
#
# VERSION is the file version of the exe's own version resource. Prints the zip's path, and
# the sizes of the exe and the zip on stderr.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RELEASE="$ROOT/build-release"
OUT="$ROOT/dist"
EXE=""

usage() { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

# MinSizeRel: about a fifth smaller stripped than Release (-O3) when last compared.
release_build() {
    # A machine without the cross compiler gets everything the project needs.
    command -v i686-w64-mingw32-g++-posix >/dev/null || "$ROOT/tools/test.sh" --setup-only >/dev/null
    cmake -S "$ROOT" -B "$RELEASE" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
          -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    echo "package.sh: release build in $RELEASE (the first one takes a few minutes; log: $RELEASE/package-build.log)" >&2
    cmake --build "$RELEASE" --target taplinar -j2 >"$RELEASE/package-build.log" 2>&1 ||
        { tail -n 40 "$RELEASE/package-build.log" >&2; echo "package.sh: build failed" >&2; exit 1; }
    # The exe left here is the one in the zip, byte for byte.
    i686-w64-mingw32-strip "$RELEASE/taplinar.exe"
    echo "$RELEASE/taplinar.exe"
}

# The file version of the VS_VERSIONINFO resource, "a.b.c" (".d" only when not 0).
exe_version() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
opt = pe + 24
# Data directory 2; a PE32+ optional header (the 64-bit test build) is 16 bytes longer before it.
directories = opt + (112 if struct.unpack_from("<H", data, opt)[0] == 0x20B else 96)
rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
table = [struct.unpack_from("<IIII", data, opt + opt_size + 40 * i + 8) for i in range(sections)]

def offset(rva):
    for size, va, raw_size, raw in table:
        if va <= rva < va + max(size, raw_size):
            return raw + rva - va
    sys.exit("package.sh: RVA %#x is in no section" % rva)

base = offset(rsrc_rva)

def entries(directory):
    named, ids = struct.unpack_from("<HH", data, base + directory + 12)
    for i in range(named + ids):
        yield struct.unpack_from("<II", data, base + directory + 16 + 8 * i)

RT_VERSION = 16
node = next((target for name, target in entries(0) if name == RT_VERSION), None)
if node is None:
    sys.exit("package.sh: the exe has no version resource")
while node & 0x80000000:                     # down the first name and language
    node = next(entries(node & 0x7FFFFFFF))[1]
info = offset(struct.unpack_from("<I", data, base + node)[0])
fixed = info + 40                            # header, "VS_VERSION_INFO" key, padding
signature, _, ms, ls = struct.unpack_from("<IIII", data, fixed)
if signature != 0xFEEF04BD:
    sys.exit("package.sh: no fixed file info in the version resource")
parts = [ms >> 16, ms & 0xFFFF, ls >> 16] + ([ls & 0xFFFF] if ls & 0xFFFF else [])
print(".".join(map(str, parts)))
PY
}

# The how-to beside the exe: UTF-8 with a byte order mark and CRLF, so that Notepad of
# any Windows version shows the Japanese.
how_to() {
    printf '\xEF\xBB\xBF'
    sed 's/$/\r/' <<EOF
Taplinar $1

【使い方】
1. この zip を、書き込みのできるフォルダーに展開します。設定は taplinar.exe と同じ
   フォルダーの taplinar.ini に保存されます (Program Files の下は避けてください)。
2. 二つの機器を、それぞれ PC の COM ポートにつなぎます。ケーブルは、その機器を PC に
   つなぐときのものをそのまま使います。
3. taplinar.exe を起動します。インストールは要りません。
4. 「設定」画面で二つのポートと、両方の機器が使う通信条件を選び、OK を押します。
   ポートの一覧では、機器の名前とメーカーがツールチップに出ます。
5. 一方の機器が送ったデータはもう一方にそのまま届き、両方向の通信がログに表示されます。

動作環境: Windows 7 以降 (32 ビット版、64 ビット版)。ほかに必要なものはありません。

How to use (the program's texts are in Japanese)
1. Extract this zip into a folder you can write to: the settings are kept in
   taplinar.ini beside taplinar.exe (avoid Program Files).
2. Connect each of the two devices to a COM port of the PC, with the cable the
   device would use to reach a PC.
3. Start taplinar.exe. Nothing needs to be installed.
4. In the port settings dialog (設定) choose the two ports and the line settings
   both devices use, and press OK. The port list shows each device's name and
   maker in a tool tip.
5. Whatever one device sends reaches the other unchanged; both directions are
   shown in the log.

Runs on Windows 7 or later, 32-bit or 64-bit; needs nothing else.
EOF
}

write_zip() {  # write_zip ZIP FOLDER EXE README
    python3 - "$@" <<'PY'
import sys, zipfile
path, folder, exe, readme = sys.argv[1:]
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(exe, folder + "/taplinar.exe")
    z.write(readme, folder + "/README.txt")
PY
}

while [ $# -gt 0 ]; do
    case $1 in
        --exe) [ $# -ge 2 ] || usage; EXE=$2; shift 2 ;;
        --out) [ $# -ge 2 ] || usage; OUT=$2; shift 2 ;;
        *) usage ;;
    esac
done

[ -n "$EXE" ] || EXE=$(release_build)
[ -f "$EXE" ] || { echo "package.sh: $EXE: no such file" >&2; exit 1; }
VERSION=$(exe_version "$EXE")
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
# The exe shipped is 32-bit; where the tests run 64-bit programs (tools/test.sh) the
# packaging of the test build is checked with that build's own strip.
STRIP=i686-w64-mingw32-strip
x86_64-w64-mingw32-objdump -f "$EXE" 2>/dev/null | grep -q 'pei-x86-64' && STRIP=x86_64-w64-mingw32-strip
"$STRIP" -o "$STAGE/taplinar.exe" "$EXE"
how_to "$VERSION" > "$STAGE/README.txt"
mkdir -p "$OUT"
ZIP="$(cd "$OUT" && pwd)/taplinar-$VERSION-win32.zip"
rm -f "$ZIP"
write_zip "$ZIP" "taplinar-$VERSION" "$STAGE/taplinar.exe" "$STAGE/README.txt"
echo "package.sh: taplinar.exe $(stat -c %s "$STAGE/taplinar.exe") bytes, the zip $(stat -c %s "$ZIP") bytes" >&2
echo "$ZIP"
