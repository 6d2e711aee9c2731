#!/bin/sh
# Checks the release executable from outside: what it imports, its subsystem,
# its resources, and that building it again gives the same bytes.
#   check_executable.sh TAVRIN.EXE SOURCE_DIR WORK_DIR
set -eu
exe=$1
source_dir=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$(x86_64-w64-mingw32-objdump -p "$exe")

# KERNEL32 and msvcrt only: no C++ runtime beside it, and user32, shell32,
# ole32 and advapi32 are loaded at run time, only when a start needs them.
echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' >"$work/imports"
echo "imports: $(tr '\n' ' ' <"$work/imports")"
[ -s "$work/imports" ] || fail "no import table"
while read -r dll; do
  case $(echo "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll | msvcrt.dll) ;;
    *) fail "imports $dll: only KERNEL32.dll and msvcrt.dll may be imported" ;;
  esac
done <"$work/imports"

# The size budget.
size=$(wc -c <"$exe")
echo "size: $size bytes"
[ "$size" -le 262144 ] || fail "$size bytes is more than 256 KiB"

echo "$headers" | grep -q '^Subsystem[[:space:]]*00000002' || fail "not a GUI-subsystem executable"
echo "$headers" | grep -q '^Magic[[:space:]]*020b' || fail "not a 64-bit (PE32+) executable"
echo "$headers" | grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' ||
  fail "the PE header carries a time stamp"

# The icon group: all 28 images.
wrestool -x --type=14 "$exe" -o "$work/icon.ico" 2>/dev/null || fail "no icon group"
icotool -l "$work/icon.ico" >"$work/icon.list"
expected=""
for size in 16 24 32 48 64 96 128; do
  for depth in 4 8 24 32; do
    expected="$expected$size:$depth "
  done
done
actual=$(sed -n 's/.*--width=\([0-9]*\) --height=[0-9]* --bit-depth=\([0-9]*\).*/\1:\2/p' \
  "$work/icon.list" | tr '\n' ' ')
[ "$actual" = "$expected" ] || fail "icon images: got '$actual', want '$expected'"

# The version block: 1.0.0.0 in the fixed part and the usual strings.
wrestool -x -R --type=16 "$exe" -o "$work/version.bin" 2>/dev/null || fail "no version block"
# VS_FIXEDFILEINFO: signature FEEF04BD, structure version, then file version
# 1.0 / 0.0 and product version 1.0 / 0.0, each as two 32-bit words.
od -An -tx1 -v "$work/version.bin" | tr -d ' \n' >"$work/version.hex"
grep -q 'bd04effe00000100000001000000000000000100000000003f' "$work/version.hex" ||
  fail "the fixed version is not 1.0.0.0"
strings -el "$work/version.bin" >"$work/version.strings"
for name in FileDescription ProductName CompanyName LegalCopyright OriginalFilename FileVersion \
  ProductVersion; do
  grep -qx "$name" "$work/version.strings" || fail "version block lacks $name"
done
[ "$(grep -cx '1.0.0.0' "$work/version.strings")" -eq 2 ] ||
  fail "FileVersion and ProductVersion strings are not 1.0.0.0"
grep -qx 'tavrin.exe' "$work/version.strings" || fail "OriginalFilename is not tavrin.exe"

# The manifest.
wrestool -x -R --type=24 "$exe" -o "$work/manifest.xml" 2>/dev/null || fail "no manifest"
for fragment in 'level="asInvoker"' 'uiAccess="false"' 'Microsoft.Windows.Common-Controls' \
  'version="6.0.0.0"' '<longPathAware' 'PerMonitorV2' \
  '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
  grep -qF "$fragment" "$work/manifest.xml" || fail "manifest lacks $fragment"
done

# The committed icon is what the generator draws.
c++ -O2 -std=c++17 "$source_dir/resources/icon/make_icon.cpp" -lz -o "$work/make_icon"
"$work/make_icon" "$work/generated.ico"
cmp -s "$work/generated.ico" "$source_dir/resources/tavrin.ico" ||
  fail "resources/tavrin.ico is not what resources/icon/make_icon.cpp draws"

# A second build of the same tree gives the same bytes.
cmake -S "$source_dir" -B "$work/rebuild" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_DEMO=OFF \
  -DTAVRIN_DIST_DIR="$work/dist" >/dev/null
cmake --build "$work/rebuild" --target tavrin >/dev/null
cmp "$exe" "$work/dist/tavrin.exe" || fail "two builds of the same tree differ"

[ $failures -eq 0 ] || exit 1
echo "all checks passed"
