#!/bin/sh
# Checks the release executable from outside: what it imports, its subsystem,
# its resources, and that building it again gives the same bytes.
#   check_executable.sh TAVRIN.EXE LINKER_MAP SOURCE_DIR WORK_DIR
set -eu
exe=$1
map=$2
source_dir=$3
work=$4
rm -rf "$work"
mkdir -p "$work"
. "$(dirname "$0")/resources.sh"

# 128 KiB: about 10 KiB of room above what it is.
check_imports_and_size "$exe" 131072
check_no_exception_runtime "$map"

headers=$(x86_64-w64-mingw32-objdump -p "$exe")
echo "$headers" | grep -q '^Subsystem[[:space:]]*00000002' || fail "not a GUI-subsystem executable"
echo "$headers" | grep -q '^Magic[[:space:]]*020b' || fail "not a 64-bit (PE32+) executable"
echo "$headers" | grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' ||
  fail "the PE header carries a time stamp"

# The icon group: all 28 images.
expected=""
for size in 16 24 32 48 64 96 128; do
  for depth in 4 8 24 32; do
    expected="$expected$size:$depth "
  done
done
actual=$(icon_images "$exe")
[ "$actual" = "$expected" ] || fail "icon images: got '$actual', want '$expected'"

# The version block: 1.0.0.0 and the usual strings.
cat >"$work/version.expected" <<'END'
FileVersion:fixed=1.0.0.0
ProductVersion:fixed=1.0.0.0
CompanyName=The tavrin developers
FileDescription=Java application launcher
FileVersion=1.0.0.0
InternalName=tavrin
LegalCopyright=Copyright (C) 2026 The tavrin developers
OriginalFilename=tavrin.exe
ProductName=tavrin
ProductVersion=1.0.0.0
END
check_version_block "$exe" "$work/version.expected"

check_manifest "$exe"

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
