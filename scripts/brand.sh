#!/bin/sh
# Builds the launcher under the author's own name, icon, version and texts:
# the same code, messages and manifest, and the same tavrin.ini beside it.
# Run scripts/setup.sh first on a fresh machine.
#
#   scripts/brand.sh --name NAME [--console] [--icon FILE.ico|FILE.png]
#                    [--version A.B.C.D] [--product TEXT] [--company TEXT] [--description TEXT]
#                    [--copyright TEXT]
#
# The result is dist/NAME.exe in this repository (the message gives its full
# path, whatever folder the script is run from), the windowed launcher, or with --console the
# console launcher (tavrinc.exe's code); each brand is built in
# build/brand/NAME, so branding never touches dist/tavrin.exe.
set -eu
# A relative --icon is the caller's, from the folder the script is run in.
# A PNG icon (at least 256x256 pixels, square) becomes an .ico of the sizes
# Windows shows, 16 to 256 pixels.
caller=$PWD
cd "$(dirname "$0")/.."

fail() {
  echo "brand.sh: $*" >&2
  exit 2
}

. scripts/input_checks.sh

usage() {
  echo "usage: scripts/brand.sh --name NAME [--console] [--icon FILE.ico|FILE.png]" >&2
  echo "         [--version A.B.C.D] [--product TEXT] [--company TEXT] [--description TEXT] [--copyright TEXT]" >&2
  exit 2
}

name=""
icon="$PWD/resources/tavrin.ico"
version="1.0.0.0"
product=""
company=""
description=""
copyright=""
console=""
while [ $# -gt 0 ]; do
  if [ "$1" = --console ]; then
    console=1
    shift
    continue
  fi
  [ $# -ge 2 ] || usage
  case $1 in
    --name) name=$2 ;;
    --icon) icon=$2 ;;
    --version) version=$2 ;;
    --product) product=$2 ;;
    --company) company=$2 ;;
    --description) description=$2 ;;
    --copyright) copyright=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$name" ] || usage
product=${product:-$name}
description=${description:-$product}

# --- The name: a file name Windows accepts, shown as it is. ---
check_file_name --name "$name"
case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
  *.exe) fail "--name '$name': give the name without .exe (it is added)" ;;
esac
[ "$(printf '%s' "$name" | wc -c)" -le 200 ] || fail "--name is longer than 200 bytes"
# dist/tavrin.exe and dist/tavrinc.exe are the project's own launchers; a
# brand never replaces them.
case $(printf '%s' "$name" | tr 'A-Z' 'a-z') in
  tavrin | tavrinc)
    fail "--name '$name' is the project's own launcher, dist/$name.exe: choose another name" ;;
esac

# --- Texts: UTF-8 without control characters. The build escapes double
# quotes and backslashes for the resource compiler; UTF-8 it takes as it is. ---
check_text --product "$product"
check_text --company "$company"
check_text --description "$description"
check_text --copyright "$copyright"

# --- The version: four numbers from 0 to 65535. ---
echo "$version" | grep -Eq '^[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}$' ||
  fail "--version '$version' is not four numbers such as 2.4.1.0"
# Leading zeros dropped (2.4.01.0 is 2.4.1.0), a number of zeros kept as 0.
decimal() {
  digits=$(printf '%s' "$1" | sed 's/^0*//')
  printf '%s' "${digits:-0}"
}
normalised=""
for number in $(echo "$version" | tr . ' '); do
  number=$(decimal "$number")
  [ "$number" -le 65535 ] || fail "--version '$version': $number is above 65535"
  normalised=${normalised:+$normalised.}$number
done
version=$normalised

# --- The icon: an .ico whose directory lies within the file, or a square
# PNG. ---
case $icon in
  /*) ;;
  *) icon=$caller/$icon ;;
esac
[ -f "$icon" ] && [ -r "$icon" ] || fail "--icon '$icon' is not a readable file"
size=$(wc -c <"$icon")
number() { od -An -tu$2 -j "$1" -N "$2" "$icon" | tr -d ' \n'; } # little-endian here
big_number() { printf '%d' "0x$(od -An -tx1 -j "$1" -N 4 "$icon" | tr -d ' \n')"; }
is_png() { [ "$(od -An -tx1 -j "$1" -N 8 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a ]; }

# The PNG's header: its sides, from IHDR, the chunk every PNG starts with.
check_png_icon() {
  [ "$size" -ge 33 ] && [ "$(od -An -c -j 12 -N 4 "$icon" | tr -d ' \n')" = IHDR ] ||
    fail "--icon '$icon' is a PNG file without its header (IHDR)"
  png_width=$(big_number 16)
  png_height=$(big_number 20)
  [ "$png_width" -eq "$png_height" ] ||
    fail "--icon '$icon' is not square (${png_width}x$png_height): an icon needs a square PNG"
  [ "$png_width" -ge 256 ] ||
    echo "brand.sh: warning: --icon '$icon' is ${png_width}x$png_height: it is scaled up to" \
      "256x256 and looks blurred; a PNG of at least 256x256 pixels is sharper" >&2
}

check_ico_icon() {
  [ "$size" -ge 6 ] && [ "$(number 0 2)" = 0 ] && [ "$(number 2 2)" = 1 ] ||
    fail "--icon '$icon' is not an .ico file (no icon header) nor a PNG file"
  count=$(number 4 2)
  [ "$count" -ge 1 ] || fail "--icon '$icon' holds no image"
  [ "$size" -ge $((6 + 16 * count)) ] || fail "--icon '$icon' is cut short"
  i=0
  while [ $i -lt "$count" ]; do
    entry=$((6 + 16 * i))
    bytes=$(number $((entry + 8)) 4)
    offset=$(number $((entry + 12)) 4)
    [ "$bytes" -gt 0 ] && [ "$offset" -ge $((6 + 16 * count)) ] &&
      [ $((offset + bytes)) -le "$size" ] ||
      fail "--icon '$icon': image $((i + 1)) lies outside the file"
    # Each image is a PNG, or a bitmap whose header gives the entry's width
    # and its height (doubled for the mask, or not).
    width=$(number "$entry" 1)
    height=$(number $((entry + 1)) 1)
    [ "$width" -ne 0 ] || width=256
    [ "$height" -ne 0 ] || height=256
    if ! is_png "$offset"; then
      [ "$bytes" -ge 40 ] && [ "$(number "$offset" 4)" -ge 40 ] &&
        [ "$(number $((offset + 4)) 4)" -eq "$width" ] &&
        { [ "$(number $((offset + 8)) 4)" -eq $((2 * height)) ] ||
          [ "$(number $((offset + 8)) 4)" -eq "$height" ]; } ||
        fail "--icon '$icon': image $((i + 1)) is neither a PNG nor a bitmap of ${width}x$height"
    fi
    i=$((i + 1))
  done
}

png_icon=""
if [ "$size" -ge 8 ] && is_png 0; then
  png_icon=1
  check_png_icon
else
  check_ico_icon
fi

# --- The build, in a folder of the brand's own; dist/ gets the result only
# when it is complete. The build's own paths and file names keep to plain
# characters (CMake and Ninja read ; $ and others as syntax); the name itself
# reaches only the version block, and the file in dist/. ---
folder=$(printf '%s' "$name" | LC_ALL=C sed 's/[^A-Za-z0-9._ -]/_/g')
build=build/brand/$folder
target=tavrin
output=launcher
if [ -n "$console" ]; then
  target=tavrinc
  output=launcherc
fi
# The icon goes to the build under a plain name: its own path may hold
# characters the resource compiler or CMake read as syntax (" ; \). A PNG
# is made an .ico there by a tool built for this machine.
mkdir -p "$build"
rm -f "$build/brand.ico"
if [ -n "$png_icon" ]; then
  c++ -O2 -std=c++17 resources/icon/icon_from_png.cpp resources/icon/icon_writer.cpp -lz \
    -o "$build/icon_from_png" || fail "the icon tool cannot be built (run scripts/setup.sh)"
  why=$("$build/icon_from_png" "$icon" "$build/brand.ico" 2>&1) || fail "--icon '$icon': $why"
else
  cp "$icon" "$build/brand.ico"
fi
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_DEMO=OFF -DTAVRIN_DIST_DIR="$PWD/$build/out" \
  -DTAVRIN_EXE_NAME="$name" -DTAVRIN_OUTPUT_NAME=launcher \
  -DTAVRIN_CONSOLE_EXE_NAME="$name" -DTAVRIN_CONSOLE_OUTPUT_NAME=launcherc \
  -DTAVRIN_ICON="$PWD/$build/brand.ico" -DTAVRIN_VERSION="$version" \
  -DTAVRIN_PRODUCT="$product" -DTAVRIN_COMPANY="$company" \
  -DTAVRIN_DESCRIPTION="$description" -DTAVRIN_COPYRIGHT="$copyright" >/dev/null
cmake --build "$build" --target "$target" >/dev/null
mkdir -p dist
cp "$build/out/$output.exe" "dist/$name.exe"

# The repository's dist/, whatever folder the script was run from: the
# message gives its full path.
built=$PWD/dist/$name.exe
echo "Built $built: $product $version ($(wc -c <"$built") bytes)."
echo "Put it in the application's folder beside tavrin.ini, then sign it, for example:"
echo "  osslsigncode sign -pkcs12 my-certificate.p12 -pass ... -h sha256 \\"
echo "    -n \"$product\" -t http://timestamp.digicert.com \\"
echo "    -in \"$built\" -out \"$name-signed.exe\""
echo "Sign after branding: changing the resources afterwards breaks the signature."
