#!/bin/sh
# Checks scripts/brand.sh in a copy of the source tree: bad input is refused
# with a clear message and no file; a brand carries its name, icon, version
# and texts, keeps the launcher's manifest, imports and size budget, builds
# to the same bytes twice, and starts an application under Wine.
#   check_brand.sh SOURCE_DIR WORK_DIR WINE_RUN FAKE_JAVA.EXE TAVRIN.EXE TEST_CHILD.EXE
set -eu
source_dir=$1
work=$2
wine_run=$3
fake_java=$4
tavrin=$5
test_child=$6
rm -rf "$work"
mkdir -p "$work"
. "$(dirname "$0")/resources.sh"

tree=$work/tree
mkdir -p "$tree"
cp -r "$source_dir/CMakeLists.txt" "$source_dir/CMakePresets.json" "$source_dir/cmake" \
  "$source_dir/src" "$source_dir/resources" "$source_dir/scripts" "$tree/"
mkdir -p "$tree/dist"
echo "tavrin's own" >"$tree/dist/tavrin.exe"

# An icon of the test's own, as authors' icons typically are: 16 to 48
# pixels as bitmaps, 64 and 128 as PNG, all 32 bits per pixel; its
# images are taken out of tavrin's icon by their directory entries.
#   icon_of SOURCE.ico OUT.ico INDEX...   (1-based)
icon_of() {
  ico=$1
  out=$2
  shift 2
  field() { od -An -tu$2 -j "$1" -N "$2" "$ico" | tr -d ' \n'; }
  byte() { printf "\\$(printf %o "$1")"; }
  le32() { byte $(($1 & 255)); byte $(($1 >> 8 & 255)); byte $(($1 >> 16 & 255)); byte $(($1 >> 24)); }
  { printf '\0\0\1\0'; byte $#; printf '\0'; } >"$out"
  offset=$((6 + 16 * $#))
  for index in "$@"; do
    entry=$((6 + 16 * (index - 1)))
    tail -c +$((entry + 1)) "$ico" | head -c 8 >>"$out"
    size=$(field $((entry + 8)) 4)
    { le32 "$size"; le32 "$offset"; } >>"$out"
    offset=$((offset + size))
  done
  for index in "$@"; do
    entry=$((6 + 16 * (index - 1)))
    tail -c +$(($(field $((entry + 12)) 4) + 1)) "$ico" | head -c "$(field $((entry + 8)) 4)" >>"$out"
  done
}
icon_of "$source_dir/resources/tavrin.ico" "$work/app.ico" 1 2 3 4 5 7
[ "$(icotool -l "$work/app.ico" | wc -l)" -eq 6 ] || fail "the test's icon is not what it should be"

# The brands below compile the same tree in folders of their own: the
# compiler's results are shared through a cache of this test's own, so that
# each brand compiles its sources once (the link and the resources run for
# every brand; release_executable checks that two full builds agree).
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_DIR="$work/ccache" CCACHE_BASEDIR="$tree"

# Run from $work, the author's folder, where a relative --icon is looked for.
brand() { (cd "$work" && "$tree/scripts/brand.sh" "$@" >"$work/brand.out" 2>"$work/brand.err"); }

# --- Bad input: a clear message, a non-zero exit, nothing in dist/. ---
printf 'not an icon at all' >"$work/text.ico"
head -c 60 "$work/app.ico" >"$work/short.ico"
head -c 2500 "$work/app.ico" >"$work/cut.ico"
# A sound directory whose second image (24x24, a bitmap) is not an image.
cp "$work/app.ico" "$work/garbage.ico"
second=$(od -An -tu4 -j $((6 + 16 + 12)) -N 4 "$work/app.ico" | tr -d ' ')
printf 'garbage, not a bitmap header, for forty bytes or more' |
  dd of="$work/garbage.ico" bs=1 seek="$second" conv=notrunc 2>/dev/null
# PNG icons, written here: square and large, small, wide, damaged.
python3 - "$work" <<'PNGS'
import struct, sys, zlib
work = sys.argv[1]
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
def png(width, height, packed, crc_fault=False):
    header = chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
    data = chunk(b'IDAT', packed)
    if crc_fault:
        data = data[:-1] + bytes([data[-1] ^ 1])
    return b'\x89PNG\r\n\x1a\n' + header + data + chunk(b'IEND', b'')
def rows(width, height):
    # A blue disc on a transparent square.
    out = b''
    for y in range(height):
        out += b'\0' + b''.join(b'\x20\x60\xe0\xff' if (x - width / 2) ** 2 + (y - height / 2) ** 2
                                < (width / 2.2) ** 2 else b'\0\0\0\0' for x in range(width))
    return zlib.compress(out)
for name, data in {'app.png': png(300, 300, rows(300, 300)),
                   'small.png': png(64, 64, rows(64, 64)),
                   'wide.png': png(300, 200, rows(300, 200)),
                   'damaged.png': png(300, 300, rows(300, 300)[:-40]),
                   'crc.png': png(300, 300, rows(300, 300), crc_fault=True),
                   'headless.png': b'\x89PNG\r\n\x1a\n' + b'garbage' * 8}.items():
    open(f'{work}/{name}', 'wb').write(data)
PNGS
ls "$tree/dist" >"$work/dist.before"
refused() {
  expected=$1
  shift
  if brand "$@"; then
    fail "brand.sh $*: accepted"
  elif ! grep -qF -- "$expected" "$work/brand.err"; then
    fail "brand.sh $*: said '$(cat "$work/brand.err")', not '$expected'"
  fi
  ls "$tree/dist" | diff "$work/dist.before" - >/dev/null || fail "brand.sh $*: left a file in dist/"
}
refused "usage" --icon "$work/app.ico"
refused "is not a readable file" --name App --icon "$work/none.ico"
refused "is not an .ico file (no icon header) nor a PNG file" --name App --icon "$work/text.ico"
refused "wide.png' is not square (300x200): an icon needs a square PNG" --name App \
  --icon "$work/wide.png"
refused "damaged.png': the PNG file's image data is damaged or cut short" --name App \
  --icon "$work/damaged.png"
refused "crc.png': the PNG file is damaged (chunk IDAT)" --name App --icon "$work/crc.png"
refused "headless.png' is a PNG file without its header (IHDR)" --name App \
  --icon "$work/headless.png"
refused "is cut short" --name App --icon "$work/short.ico"
refused "image 3 lies outside the file" --name App --icon "$work/cut.ico"
refused "garbage.ico': image 2 is neither a PNG nor a bitmap of 24x24" --name App \
  --icon "$work/garbage.ico"
refused "is the project's own launcher" --name tavrin
refused "is the project's own launcher" --name TaVrIn
refused "is the project's own launcher" --name tavrinc --console
refused "is not four numbers" --name App --version 2.4.1
refused "is not four numbers" --name App --version 2.4.1.x
refused "65536 is above 65535" --name App --version 1.2.3.65536
refused "cannot hold" --name 'Example:App'
refused "cannot hold" --name 'a/b'
refused "cannot hold" --name 'Say "hi"'
refused "cannot end in a dot or a blank" --name 'App.'
refused "COM1 is a device name" --name com1
refused "NUL is a device name" --name NUL.app
refused "line break" --name App --company "two
lines"
refused "COM¹ is a device name" --name 'COM¹'
refused "LPT² is a device name" --name 'lpt²'
refused "without .exe" --name Tool.exe
refused "bidirectional control character" --name "Report$(printf '\342\200\256')fdp"
refused "bidirectional control character" --name "$(printf '\342\201\246')App"
refused "--product holds a line break" --name App --product "a$(printf '\302\205')b"
refused "--company holds a line break" --name App --company "a$(printf '\342\200\250')b"
# A relative icon is the author's, not a file of the tavrin tree.
refused "is not a readable file" --name App --icon resources/tavrin.ico
refused "--copyright is not UTF-8" --name App --copyright "$(printf 'caf\351')"

# --- A brand, its icon given relative to the author's folder, which holds
# characters a build could take as syntax. ---
odd_folder='icons "a;b\c'
mkdir -p "$work/$odd_folder"
cp "$work/app.ico" "$work/$odd_folder/app.ico"
company='Ana'"'"'s "Best" Tools \ Ltd — Zürich 日本'
copyright='© 2026 C:\new\table'
brand --name ExampleApp --icon "$odd_folder/app.ico" --version 2.0.01.0 --product 'Example "App"' \
  --company "$company" --description "Opens plans" --copyright "$copyright" ||
  fail "brand.sh did not build: $(cat "$work/brand.err")"
grep -qF 'Example "App" 2.0.1.0' "$work/brand.out" || fail "brand.sh did not say 2.0.1.0"
grep -qF "Built $tree/dist/ExampleApp.exe: " "$work/brand.out" || fail "brand.sh did not say where the result is, in full"
grep -q 'osslsigncode sign' "$work/brand.out" || fail "brand.sh did not say how to sign"
exe=$tree/dist/ExampleApp.exe
[ "$(cat "$tree/dist/tavrin.exe")" = "tavrin's own" ] || fail "branding touched dist/tavrin.exe"

check_imports_and_size "$exe" 262144
images=$(icon_images "$exe")
[ "$images" = "16:32 24:32 32:32 48:32 64:32 128:32 " ] || fail "icon images: $images"
cat >"$work/version.expected" <<END
FileVersion:fixed=2.0.1.0
ProductVersion:fixed=2.0.1.0
CompanyName=$company
FileDescription=Opens plans
FileVersion=2.0.1.0
InternalName=ExampleApp
LegalCopyright=$copyright
OriginalFilename=ExampleApp.exe
ProductName=Example "App"
ProductVersion=2.0.1.0
END
check_version_block "$exe" "$work/version.expected"
wrestool -x -R --type=24 "$tavrin" -o "$work/tavrin.manifest" 2>/dev/null
wrestool -x -R --type=24 "$exe" -o "$work/brand.manifest" 2>/dev/null
cmp -s "$work/tavrin.manifest" "$work/brand.manifest" || fail "the manifest is not tavrin's"

# The same options and icon (here by another path) give the same bytes: the
# brand's resources and link run again (the compiled code is the same tree's,
# whose reproducible build release_executable checks).
mv "$exe" "$work/first.exe"
brand --name ExampleApp --icon "$work/app.ico" --version 2.0.01.0 --product 'Example "App"' \
  --company "$company" --description "Opens plans" --copyright "$copyright" ||
  fail "brand.sh did not build again"
cmp "$work/first.exe" "$exe" || fail "two brands of the same tree and options differ"

# A console launcher, under a name with every character Windows allows that a
# build could take as syntax; the version's zeros stay.
# Its icon is a PNG smaller than 256 pixels: scaled up, with a warning.
odd="Ana's Setup(x64);\$1\`x"
brand --name "$odd" --console --version 3.1.0.0 --icon small.png ||
  fail "brand.sh --name $odd --console: $(cat "$work/brand.err")"
grep -qF "warning: --icon '$work/small.png' is 64x64: it is scaled up to 256x256" "$work/brand.err" ||
  fail "no warning for a small PNG icon: $(cat "$work/brand.err")"
images=$(icon_images "$tree/dist/$odd.exe")
[ "$images" = "16:32 20:32 24:32 32:32 40:32 48:32 64:32 256:32 " ] ||
  fail "a PNG's icon images: $images"
# Only the 256-pixel image is a PNG (the eighth entry's data), the others
# are bitmaps.
png_images=""
for i in 1 2 3 4 5 6 7 8; do
  at=$(od -An -tu4 -j $((6 + 16 * (i - 1) + 12)) -N 4 "$work/icon.ico" | tr -d ' ')
  [ "$(od -An -tx1 -j "$at" -N 8 "$work/icon.ico" | tr -d ' \n')" != 89504e470d0a1a0a ] ||
    png_images="$png_images$i "
done
[ "$png_images" = "8 " ] || fail "the PNG images of a PNG's icon: $png_images"
x86_64-w64-mingw32-objdump -p "$tree/dist/$odd.exe" | grep -q '^Subsystem[[:space:]]*00000003' ||
  fail "brand.sh --console did not build a console-subsystem executable"
cat >"$work/odd.expected" <<END
FileVersion:fixed=3.1.0.0
ProductVersion:fixed=3.1.0.0
CompanyName=
FileDescription=$odd
FileVersion=3.1.0.0
InternalName=$odd
LegalCopyright=
OriginalFilename=$odd.exe
ProductName=$odd
ProductVersion=3.1.0.0
END
check_version_block "$tree/dist/$odd.exe" "$work/odd.expected"

# --- It is the launcher: one start with a stand-in runtime. ---
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
app=$work/app
mkdir -p "$app/lib" "$work/java"
cp "$exe" "$app/"
printf 'PK' >"$app/lib/app.jar"
printf '[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\nwait-for-exit=1\r\nask-for-java-location=0\r\nallow-newer-version=1\r\n' \
  >"$app/tavrin.ini"
cp "$fake_java" "$work/java/java.exe"
status=0
WINEPATH=$(windows "$work/java") FAKE_JAVA_RECORD=$(windows "$work/runs.txt") JAVA_HOME= \
  "$wine_run" "$app/ExampleApp.exe" || status=$?
[ "$status" -eq 0 ] || fail "the branded launcher ended with $status"
grep -q '^arg=-jar$' "$work/runs.txt" 2>/dev/null || fail "the branded launcher did not start the JAR"
grep -q '^java-location=java.exe' "$app/tavrin.ini" || fail "tavrin.ini was not updated"

# Started by its short name, it is still ExampleApp.exe: its section passes
# the argument on, and its files are named after it.
printf '[ExampleApp.exe]\r\npass-arguments=1\r\n' >>"$app/tavrin.ini"
short=$("$wine_run" "$test_child" "short:$(windows "$app/ExampleApp.exe")")
case "$short" in
*~*) ;;
*) fail "no short name for ExampleApp.exe: '$short'" ;;
esac
status=0
WINEPATH=$(windows "$work/java") FAKE_JAVA_RECORD=$(windows "$work/short-runs.txt") JAVA_HOME= \
  "$wine_run" "$short" from-the-short-name || status=$?
[ "$status" -eq 0 ] || fail "started by its short name, the launcher ended with $status"
grep -q '^arg=from-the-short-name$' "$work/short-runs.txt" 2>/dev/null ||
  fail "started by its short name, the launcher did not read [ExampleApp.exe]"
[ -f "$app/ExampleApp.jar.run.output.file" ] ||
  fail "started by its short name, the launcher did not name its files after itself"

[ $failures -eq 0 ] || exit 1
echo "all checks passed"
