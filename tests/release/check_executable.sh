#!/bin/sh
# Checks the release executables from outside: what they import, their
# subsystems, their resources, and that building them again gives the same
# bytes.
#   check_executable.sh SOURCE_DIR WORK_DIR DIST_DIR MAP_DIR
# (MAP_DIR holds the linker maps NAME.map.)
set -eu
source_dir=$1
work=$2
dist=$3
maps=$4
rm -rf "$work"
mkdir -p "$work"
. "$(dirname "$0")/resources.sh"

# The icon group: seven sizes, 32 bits per pixel each.
expected_icon="16:32 24:32 32:32 48:32 64:32 96:32 128:32 "

#   check_launcher NAME SUBSYSTEM_NUMBER SUBSYSTEM_NAME
check_launcher() {
  exe=$dist/$1.exe
  echo "--- $1.exe"
  # 160 KiB: some 14 KiB of room above what they are (146 KiB with class
  # paths, modules, argument files, the JVM in the launcher's process, the
  # class-data archive, programs' own sections and the service, and an icon
  # of 32-bit PNG images only).
  check_imports_and_size "$exe" 163840
  check_no_exception_runtime "$maps/$1.map"

  headers=$(x86_64-w64-mingw32-objdump -p "$exe")
  echo "$headers" | grep -q "^Subsystem[[:space:]]*0000000$2" || fail "$1.exe: not a $3 executable"
  echo "$headers" | grep -q '^Magic[[:space:]]*020b' || fail "$1.exe: not a 64-bit (PE32+) executable"
  echo "$headers" | grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' ||
    fail "$1.exe: the PE header carries a time stamp"

  actual=$(icon_images "$exe")
  [ "$actual" = "$expected_icon" ] || fail "$1.exe: icon images: got '$actual', want '$expected_icon'"

  # The version block: 1.0.0.0 and the usual strings, under its own name.
  cat >"$work/version.expected" <<END
FileVersion:fixed=1.0.0.0
ProductVersion:fixed=1.0.0.0
CompanyName=The tavrin developers
FileDescription=Java application launcher
FileVersion=1.0.0.0
InternalName=$1
LegalCopyright=Copyright (C) 2026 The tavrin developers
OriginalFilename=$1.exe
ProductName=tavrin
ProductVersion=1.0.0.0
END
  check_version_block "$exe" "$work/version.expected"
  check_manifest "$exe"
}
check_launcher tavrin 2 GUI-subsystem
check_launcher tavrinc 3 console-subsystem
# The updater: the same imports (WinHTTP and bcrypt loaded when needed).
echo "--- tavrin-update.exe"
check_imports_and_size "$dist/tavrin-update.exe" 163840

# The committed icon is what the generator draws.
c++ -O2 -std=c++17 "$source_dir/resources/icon/make_icon.cpp" \
  "$source_dir/resources/icon/icon_writer.cpp" -lz -o "$work/make_icon"
"$work/make_icon" "$work/generated.ico"
cmp -s "$work/generated.ico" "$source_dir/resources/tavrin.ico" ||
  fail "resources/tavrin.ico is not what resources/icon/make_icon.cpp draws"

# A second build of the same tree gives the same bytes.
cmake -S "$source_dir" -B "$work/rebuild" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_DEMO=OFF \
  -DTAVRIN_DIST_DIR="$work/dist" >/dev/null
cmake --build "$work/rebuild" --target tavrin tavrinc >/dev/null
for name in tavrin tavrinc; do
  cmp "$dist/$name.exe" "$work/dist/$name.exe" ||
    fail "two builds of $name.exe from the same tree differ"
done

[ $failures -eq 0 ] || exit 1
echo "all checks passed"
