#!/bin/sh
# Packs an application folder into a Windows installer, dist/NAME-VERSION.msi,
# on Linux (wixl and msibuild, from Debian's wixl and msitools packages).
# Run scripts/setup.sh first on a fresh machine.
#
#   scripts/package.sh --app-dir DIR --name NAME --version A.B.C
#                      [--product TEXT] [--company TEXT] [--per-machine]
#                      [--desktop-shortcut] [--associate .EXT=DESCRIPTION]...
#                      [--associate-default .EXT=DESCRIPTION]...
#                      [--url-protocol SCHEME] [--upgrade-code GUID]
#                      [--launcher NAME[=SHORTCUT TEXT]]... [--tool NAME]...
#                      [--service [--service-description TEXT]]
#                      [--sign-pkcs12 FILE --sign-password-file FILE]
#                      [--timestamp-url URL | --timestamp-rfc3161 URL]
#                      [--timestamp-timeout SECONDS]
#
# DIR holds the launcher NAME.exe, tavrin.ini, the JARs and any runtime
# folder; everything in it is installed. --launcher adds another windowed
# launcher of the folder with a Start-menu shortcut of its own; --tool a
# console launcher, run from a command prompt: the install folder goes on
# PATH. --service (with --per-machine) installs NAME.exe as the Windows
# service tavrin.ini's service-name names. Bad input is refused with a
# sentence, and nothing is written to dist/ then.
set -eu
# Relative paths are the caller's, from the folder the script is run in.
caller=$PWD
cd "$(dirname "$0")/.."
repository=$(pwd -P)

fail() {
  echo "package.sh: $*" >&2
  exit 2
}

. scripts/input_checks.sh
. scripts/settings_reader.sh

usage() {
  echo "usage: scripts/package.sh --app-dir DIR --name NAME --version A.B.C [--product TEXT]" >&2
  echo "         [--company TEXT] [--per-machine] [--desktop-shortcut]" >&2
  echo "         [--associate .EXT=DESCRIPTION]... [--associate-default .EXT=DESCRIPTION]..." >&2
  echo "         [--url-protocol SCHEME] [--upgrade-code GUID]" >&2
  echo "         [--launcher NAME[=SHORTCUT TEXT]]... [--tool NAME]..." >&2
  echo "         [--service [--service-description TEXT]]" >&2
  echo "         [--sign-pkcs12 FILE --sign-password-file FILE]" >&2
  echo "         [--timestamp-url URL | --timestamp-rfc3161 URL] [--timestamp-timeout SECONDS]" >&2
  exit 2
}

callers() {
  case $1 in
    /*) printf '%s' "$1" ;;
    *) printf '%s/%s' "$caller" "$1" ;;
  esac
}

app_dir=""
name=""
version=""
product=""
company=""
per_machine=""
desktop=""
associations=""
protocol=""
upgrade_code=""
pkcs12=""
password_file=""
timestamp_url=""
timestamp_kind=""
timestamp_timeout=60
launchers=""
tools=""
service=""
service_description=""
newline='
'
while [ $# -gt 0 ]; do
  case $1 in
    --per-machine) per_machine=1; shift; continue ;;
    --desktop-shortcut) desktop=1; shift; continue ;;
    --service) service=1; shift; continue ;;
  esac
  [ $# -ge 2 ] || usage
  case $1 in
    --app-dir) app_dir=$(callers "$2") ;;
    --name) name=$2 ;;
    --version) version=$2 ;;
    --product) product=$2 ;;
    --company) company=$2 ;;
    --associate) associations="${associations}open-with $2$newline" ;;
    --associate-default) associations="${associations}default $2$newline" ;;
    --url-protocol) protocol=$2 ;;
    --launcher) launchers="$launchers$2$newline" ;;
    --tool) tools="$tools$2$newline" ;;
    --service-description) service_description=$2 ;;
    --upgrade-code) upgrade_code=$2 ;;
    --sign-pkcs12) pkcs12=$(callers "$2") ;;
    --sign-password-file) password_file=$(callers "$2") ;;
    --timestamp-url) timestamp_url=$2; timestamp_kind=-t ;;
    --timestamp-rfc3161) timestamp_url=$2; timestamp_kind=-ts ;;
    --timestamp-timeout) timestamp_timeout=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$app_dir" ] && [ -n "$name" ] && [ -n "$version" ] || usage
product=${product:-$name}
company=${company:-$product}

# --- Names and texts: what Windows and Windows Installer can hold. ---
check_file_name --name "$name"
check_file_name --product "$product" # the install folder's name
check_text --company "$company"
# A name Windows Installer takes: in the package's code page, not too long.
check_package_name() {
  check_code_page "$1" "$2"
  [ "$(printf '%s' "$2" | wc -m)" -le 128 ] ||
    fail "$1 is longer than 128 characters, more than Windows Installer takes for a name"
}
check_package_name --name "$name"
check_package_name --product "$product"
check_package_name --company "$company"

# --- The folder. ---
[ -d "$app_dir" ] && [ -r "$app_dir" ] && [ -x "$app_dir" ] ||
  fail "--app-dir '$app_dir' is not a readable folder"
# The script's own folders: packing them would delete or ship its output.
app_real=$(realpath "$app_dir")
for own in "$repository/dist" "$repository/build/package"; do
  case "$app_real/" in
    "$own"/*) fail "--app-dir '$app_dir' is in $own, which this script writes" ;;
  esac
  case "$own/" in
    "$app_real"/*) fail "--app-dir '$app_dir' holds $own, which this script writes" ;;
  esac
done
[ -f "$app_dir/$name.exe" ] || fail "--app-dir '$app_dir' has no launcher $name.exe"
[ -f "$app_dir/tavrin.ini" ] || fail "--app-dir '$app_dir' has no tavrin.ini"
dangling=$(find "$app_dir" -xtype l | head -n 1)
[ -z "$dangling" ] || fail "--app-dir: the link '$dangling' points to '$(readlink "$dangling")', which is not there"
unreadable=$(find "$app_dir" ! -readable | head -n 1)
[ -z "$unreadable" ] || fail "--app-dir: '$unreadable' cannot be read"

# --- The version: three numbers, as Windows Installer takes them. ---
case $version in
  *[!0-9.]* | *.*.*.* | .* | *. | *..*) fail "--version '$version' is not three numbers such as 2.4.1" ;;
  *.*.*) ;;
  *) fail "--version '$version' is not three numbers such as 2.4.1" ;;
esac
major=${version%%.*}
build=${version##*.}
minor=${version#*.}
minor=${minor%.*}
for number in "$major" "$minor" "$build"; do
  [ ${#number} -le 5 ] || fail "--version '$version' is not three numbers such as 2.4.1"
done
major=$(echo "$major" | sed 's/^0*\(.\)/\1/')
minor=$(echo "$minor" | sed 's/^0*\(.\)/\1/')
build=$(echo "$build" | sed 's/^0*\(.\)/\1/')
[ "$major" -le 255 ] || fail "--version '$version': the first number is above 255"
[ "$minor" -le 255 ] || fail "--version '$version': the second number is above 255"
[ "$build" -le 65535 ] || fail "--version '$version': the third number is above 65535"
version=$major.$minor.$build

# --- The programs: NAME.exe, each --launcher and each --tool, in the folder,
# each of its kind and under a name of its own. ---
lower() { printf '%s' "$1" | tr 'A-Z' 'a-z'; }
# The launcher's subsystem in its PE header: 3 is the console's.
subsystem_of() {
  python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(4096)
at = struct.unpack_from("<I", data, 0x3C)[0] if data[:2] == b"MZ" and len(data) >= 0x40 else 0
print(struct.unpack_from("<H", data, at + 92)[0] if 0 < at and at + 94 <= len(data) and data[at:at + 4] == b"PE\0\0" else 0)
' "$1"
}
# The description in a launcher's version block, else its product name;
# nothing when it has neither.
version_text_of() {
  python3 - "$1" <<'PYTHON'
import struct, sys
data = open(sys.argv[1], "rb").read()
def u16(at): return struct.unpack_from("<H", data, at)[0]
def u32(at): return struct.unpack_from("<I", data, at)[0]
def strings(at, end, found):
    # Nodes of the block: length, value length, type (1: text), key, value,
    # children; the texts are in the string tables of StringFileInfo.
    while at + 6 <= end:
        length, value_length, kind = u16(at), u16(at + 2), u16(at + 4)
        if length < 6:
            return
        key_end = data.index(b"\0\0", at + 6)
        while (key_end - at) % 2:
            key_end = data.index(b"\0\0", key_end + 1)
        name = data[at + 6:key_end].decode("utf-16-le", "replace")
        value_at = (key_end + 2 + 3) & ~3
        size = value_length * 2 if kind == 1 else value_length
        if kind == 1 and value_length:
            found.setdefault(name, data[value_at:value_at + size].decode("utf-16-le", "replace").rstrip("\0"))
        if name in ("VS_VERSION_INFO", "StringFileInfo") or len(name) == 8:
            strings((value_at + size + 3) & ~3, at + length, found)
        at = (at + length + 3) & ~3
def entry_of(directory, wanted=None):
    for i in range(u16(directory + 12) + u16(directory + 14)):
        at = directory + 16 + 8 * i
        if wanted is None or u32(at) == wanted:
            return u32(at + 4)
    raise LookupError
try:
    pe = u32(0x3C)
    sections, optional = u16(pe + 6), u16(pe + 20)
    table = pe + 24 + optional
    def file_offset(rva):
        for section in (table + 40 * i for i in range(sections)):
            start, size = u32(section + 12), max(u32(section + 8), u32(section + 16))
            if start <= rva < start + size:
                return u32(section + 20) + rva - start
        raise LookupError
    base = file_offset(u32(pe + 24 + 128)) # PE32+: the resource directory
    node = entry_of(base, 16)               # the version block
    for _ in range(2):                      # its name, its language
        node = entry_of(base + (node & 0x7FFFFFFF))
    block = file_offset(u32(base + node))
    found = {}
    strings(block, block + u32(base + node + 4), found)
    print(found.get("FileDescription") or found.get("ProductName") or "", end="")
except (LookupError, ValueError, struct.error, IndexError):
    pass
PYTHON
}
[ "$(subsystem_of "$app_dir/$name.exe")" != 3 ] ||
  fail "$name.exe is a console launcher: its Start-menu shortcut would open a window that closes at once; give the windowed launcher as --name (and this one as --tool)"
taken="$newline$(lower "$name")$newline"
check_program() { # OPTION NAME
  check_file_name "$1" "$2"
  check_code_page "$1" "$2"
  case $(lower "$2") in
    *.exe) fail "$1 '$2': give the name without .exe (it is added)" ;;
  esac
  [ -f "$app_dir/$2.exe" ] || fail "$1 '$2': --app-dir '$app_dir' has no launcher $2.exe"
  case $taken in
    *"$newline$(lower "$2")$newline"*)
      fail "$1 '$2': $2.exe is already given (as --name, --launcher or --tool); each program is given once" ;;
  esac
  taken="$taken$(lower "$2")$newline"
}
# The shortcuts of the windowed launchers: NAME, a tab, the shortcut's text.
shortcuts=""
shortcut_texts="$newline$(lower "$product")$newline"
old_ifs=$IFS
IFS=$newline
for entry in $launchers; do
  launcher=${entry%%=*}
  check_program --launcher "$launcher"
  [ "$(subsystem_of "$app_dir/$launcher.exe")" != 3 ] ||
    fail "--launcher $launcher: $launcher.exe is a console launcher: give it as --tool"
  text=""
  case $entry in
    *=*) text=${entry#*=} ;;
  esac
  if [ -z "$text" ]; then
    text=$(version_text_of "$app_dir/$launcher.exe")
    [ -n "$text" ] || text=$launcher
  fi
  check_file_name "--launcher $launcher: the shortcut" "$text"
  check_text "--launcher $launcher: the shortcut" "$text"
  check_code_page "--launcher $launcher: the shortcut" "$text"
  case $shortcut_texts in
    *"$newline$(lower "$text")$newline"*)
      fail "--launcher $launcher: its shortcut '$text' has the name of another shortcut: give one with --launcher $launcher=TEXT" ;;
  esac
  shortcut_texts="$shortcut_texts$(lower "$text")$newline"
  shortcuts="$shortcuts$launcher	$text$newline"
done
for tool in $tools; do
  check_program --tool "$tool"
  [ "$(subsystem_of "$app_dir/$tool.exe")" = 3 ] ||
    fail "--tool $tool: $tool.exe is a windowed launcher: a command prompt does not wait for it nor show its output; give it as --launcher"
done
IFS=$old_ifs
# Every program: the windowed ones, then the tools.
programs="$name$newline$(printf '%s' "$shortcuts" | cut -f1)$newline$tools"

# --- tavrin.ini: a program whose settings the launcher refuses starts
# nothing. Each reads [tavrin] with its own section [NAME.exe] over it. ---
ini=$app_dir/tavrin.ini
check_settings() { # NAME KIND
  program=$1.exe
  for_program=""
  [ "$1" = "$name" ] || for_program=" for $program"
  # As the launcher counts them: jar-file-name even when empty.
  ways=0
  [ -z "$(settings_has "$ini" jar-file-name "$program")" ] || ways=$((ways + 1))
  [ -z "$(settings_value "$ini" main-class "$program")" ] || ways=$((ways + 1))
  [ -z "$(settings_value "$ini" module "$program")" ] || ways=$((ways + 1))
  [ "$ways" -ne 0 ] || fail "tavrin.ini$for_program gives no jar-file-name, main-class or module: the launcher would start nothing"
  [ "$ways" -eq 1 ] || fail "tavrin.ini$for_program gives more than one of jar-file-name, main-class and module: the launcher would refuse it"
  for key in min-java-version ask-for-java-location allow-newer-version wait-for-exit; do
    if [ "$key" = wait-for-exit ] &&
      { [ "$2" != windowed ] || [ "$(settings_value "$ini" in-process "$program")" = 1 ]; }; then
      continue # the console launcher, a service and a start in process need none
    fi
    [ -n "$(settings_has "$ini" "$key" "$program")" ] ||
      fail "tavrin.ini$for_program has no $key, which the launcher requires: it would refuse to start"
  done
}
IFS=$newline
check_settings "$name" "$(if [ -n "$service" ]; then echo service; else echo windowed; fi)"
for program in $(printf '%s' "$shortcuts" | cut -f1); do
  check_settings "$program" windowed
done
for program in $tools; do
  check_settings "$program" console
done
# The log files the programs write, one a line.
log_files=$(for program in $programs; do settings_value "$ini" log-file "$program.exe"; echo; done | sort -u)
IFS=$old_ifs

# --- The service: installed for the machine, under the name the launcher
# takes from tavrin.ini. ---
service_name=""
if [ -n "$service" ]; then
  [ -n "$per_machine" ] ||
    fail "--service needs --per-machine: a Windows service is installed for the whole machine"
  service_name=$(settings_value "$ini" service-name "$name.exe")
  [ -n "$service_name" ] ||
    fail "--service needs service-name in tavrin.ini: the launcher is the service of that name"
  case $service_name in
    */* | *\\* | *\"*) fail "tavrin.ini: service-name '$service_name' is not a service name the package can install (no / \\ or \")" ;;
  esac
  [ "$(printf '%s' "$service_name" | wc -m)" -le 256 ] ||
    fail "tavrin.ini: service-name is longer than 256 characters, more than Windows takes"
  check_text "tavrin.ini: service-name" "$service_name"
  check_code_page "tavrin.ini: service-name" "$service_name"
  check_text --service-description "$service_description"
  check_code_page --service-description "$service_description"
elif [ -n "$service_description" ]; then
  fail "--service-description goes with --service"
fi

# --- Associations and links: they hand a document or link to the launcher,
# which passes it on only with pass-arguments=1. Windows' own are never
# taken over. ---
pass_arguments=$(settings_value "$ini" pass-arguments "$name.exe")
windows_extensions=" .exe .com .bat .cmd .lnk .msi .msp .ps1 .psm1 .vbs .vbe .js .jse .wsf .wsh .scr .pif .cpl .dll .sys .reg .url .hta .msc "
windows_schemes=" http https file ftp ftps mailto news nntp telnet ldap tel sms callto javascript vbscript data about res shell ms-settings search-ms "
old_ifs=$IFS
IFS=$newline
seen=""
for association in $associations; do
  kind=${association%% *}
  association=${association#* }
  extension=${association%%=*}
  description=${association#*=}
  echo "$extension" | grep -Eq '^\.[A-Za-z0-9]+$' && [ "$(printf '%s' "$extension" | wc -l)" -eq 0 ] ||
    fail "--associate '$association': the extension must be a dot and letters or digits"
  [ "$association" != "$extension" ] && [ -n "$description" ] ||
    fail "--associate '$association': give a description after ="
  check_text "--associate $extension" "$description"
  check_code_page "--associate $extension" "$description"
  lower=$(printf '%s' "$extension" | tr 'A-Z' 'a-z')
  case $windows_extensions in
    *" $lower "*) fail "--associate $extension: Windows itself opens $lower files; taking them over would break the system" ;;
  esac
  case $seen in
    *"$newline$lower=$description$newline"*) continue ;; # the same twice is one
    *"$newline$lower="*) fail "--associate $extension: given twice, with different descriptions" ;;
  esac
  seen="$seen$newline$lower=$description$newline"
  associations_checked="${associations_checked:-}$kind $lower=$description$newline"
done
IFS=$old_ifs
associations=${associations_checked:-}
if [ -n "$protocol" ]; then
  printf '%s' "$protocol" | grep -Eq '^[A-Za-z][A-Za-z0-9+.-]*$' && [ "$(printf '%s' "$protocol" | wc -l)" -eq 0 ] ||
    fail "--url-protocol '$protocol' is not a URL scheme (a letter, then letters, digits, + . -)"
  lower=$(printf '%s' "$protocol" | tr 'A-Z' 'a-z')
  case $windows_schemes in
    *" $lower "*) fail "--url-protocol $protocol: the system and other programs open $lower links; taking them over would send the user's links to this application" ;;
  esac
  case $lower in
    ms-*) fail "--url-protocol $protocol: ms- links belong to Windows" ;;
  esac
fi
if { [ -n "$associations" ] || [ -n "$protocol" ]; } && [ "$pass_arguments" != 1 ]; then
  fail "--associate and --url-protocol need pass-arguments=1 in tavrin.ini: without it the document or link never reaches the application"
fi

# --- The upgrade code: every version of one application shares it, and it
# must never change. By default it follows what names the product for its
# users, --product and --name. ---
guid_pattern='^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$'
# A GUID from the bytes of a text (SHA-1, version 5 layout).
guid_of() {
  printf '%s' "$1" | sha1sum | cut -c1-32 |
    sed 's/^\(.\{8\}\)\(.\{4\}\).\(.\{3\}\).\(.\{3\}\)\(.\{12\}\)$/\1-\2-5\3-8\4-\5/' |
    tr 'a-f' 'A-F'
}
if [ -n "$upgrade_code" ]; then
  bare=$upgrade_code
  case $upgrade_code in
    \{*\}) bare=${bare#\{} && bare=${bare%\}} ;;
  esac
  printf '%s' "$bare" | grep -Eq "$guid_pattern" && [ "$(printf '%s' "$bare" | wc -l)" -eq 0 ] ||
    fail "--upgrade-code '$upgrade_code' is not a GUID such as 01234567-89AB-CDEF-0123-456789ABCDEF"
  upgrade_code=$(printf '%s' "$bare" | tr 'a-f' 'A-F')
  upgrade_given=1
else
  upgrade_code=$(guid_of "tavrin upgrade code
$product
$name")
  upgrade_given=""
fi

# --- Signing. ---
if [ -n "$pkcs12$password_file" ]; then
  [ -n "$pkcs12" ] && [ -n "$password_file" ] ||
    fail "--sign-pkcs12 and --sign-password-file go together"
  [ -f "$pkcs12" ] && [ -r "$pkcs12" ] || fail "--sign-pkcs12 '$pkcs12' is not a readable file"
  [ -f "$password_file" ] && [ -r "$password_file" ] ||
    fail "--sign-password-file '$password_file' is not a readable file"
fi
if [ -n "$timestamp_url" ]; then
  [ -n "$pkcs12" ] || fail "--timestamp-url and --timestamp-rfc3161 need --sign-pkcs12"
  printf '%s' "$timestamp_url" | grep -Eq '^https?://[^ "<>]+$' && [ "$(printf '%s' "$timestamp_url" | wc -l)" -eq 0 ] ||
    fail "--timestamp-url '$timestamp_url' is not a web address"
fi
case $timestamp_timeout in
  "" | *[!0-9]*) fail "--timestamp-timeout '$timestamp_timeout' is not a number of seconds" ;;
esac
[ "$timestamp_timeout" -ge 1 ] && [ "$timestamp_timeout" -le 600 ] ||
  fail "--timestamp-timeout '$timestamp_timeout' is not between 1 and 600 seconds"
if [ -n "$pkcs12" ] && command -v openssl >/dev/null 2>&1; then
  if openssl pkcs12 -in "$pkcs12" -passin "file:$password_file" -nokeys -clcerts 2>/dev/null |
    openssl x509 -noout -checkend 0 >/dev/null 2>&1; then
    :
  elif openssl pkcs12 -in "$pkcs12" -passin "file:$password_file" -nokeys -clcerts 2>/dev/null |
    openssl x509 -noout >/dev/null 2>&1; then
    echo "package.sh: warning: the certificate in '$pkcs12' has expired: Windows shows signatures made with it as invalid unless they carry a time stamp from before it expired" >&2
  fi
fi

if [ -n "$per_machine" ] && [ -z "$(settings_value "$ini" user-settings "$name.exe")" ]; then
  echo "package.sh: warning: a per-machine install without user-settings in tavrin.ini: users cannot write tavrin.ini under Program Files, so nothing is remembered and users have no settings of their own" >&2
fi

# --- Every file and folder: names Windows can hold, in the package's code
# page, no two that differ only in letter case. ---
if [ -n "$per_machine" ]; then
  install_root="C:\\Program Files\\$product"
else
  install_root="C:\\Users\\a-twenty-letter-user\\AppData\\Local\\Programs\\$product"
fi
python3 - "$app_dir" "$install_root" <<'PYTHON' || exit 2
import os, sys, unicodedata

folder, install_root = sys.argv[1], sys.argv[2]
devices = {"CON", "PRN", "AUX", "NUL"} | {p + d for p in ("COM", "LPT") for d in "123456789\u00b9\u00b2\u00b3"}

def refuse(why):
    print("package.sh: " + why, file=sys.stderr)
    sys.exit(2)

def check(relative, entry):
    shown = "--app-dir: '%s'" % relative
    try:
        entry.encode("utf-8")
    except UnicodeEncodeError:
        refuse(shown + " has a name that is not UTF-8")
    for character in entry:
        if ord(character) < 32 or ord(character) == 127 or character in '<>:"/\\|?*':
            refuse(shown + ": Windows file names cannot hold < > : \" / \\ | ? * or control characters")
    if entry.endswith(".") or entry.endswith(" "):
        refuse(shown + ": Windows file names cannot end in a dot or a blank")
    if entry.split(".")[0].upper().rstrip(" ") in devices:
        refuse(shown + ": %s is a device name on Windows" % entry.split(".")[0])
    try:
        entry.encode("cp1252")
    except UnicodeEncodeError:
        refuse(shown + ": the name has characters outside Windows code page 1252, which Windows "
               "Installer packages built here cannot hold; rename it" +
               (" (its accents are written as separate characters: compose them)"
                if unicodedata.normalize("NFC", entry) != entry else ""))

longest = ""
for root, folders, files in os.walk(folder):
    folders.sort()
    seen = {}
    for entry in sorted(folders + files):
        relative = os.path.relpath(os.path.join(root, entry), folder)
        check(relative, entry)
        key = entry.casefold()
        if key in seen:
            refuse("--app-dir: '%s' and '%s' differ only in letter case, which Windows takes for one name"
                   % (seen[key], relative))
        seen[key] = relative
        installed = install_root + "\\" + relative.replace("/", "\\")
        if len(installed) > len(longest):
            longest = installed
if len(longest) > 259:
    print("package.sh: warning: installed, '%s' is %d characters long, more than many Windows programs "
          "open (260)" % (longest, len(longest)), file=sys.stderr)
PYTHON

# --- The package, built in a work folder of this build's own; dist/ gets it
# only when it is complete. ---
msi=$name-$version.msi
mkdir -p build/package dist
# An earlier build's package of this version would pass for this one's.
rm -f "dist/$msi"
work=$(mktemp -d "build/package/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app"
# Links are packed as what they point to.
cp -RL "$app_dir/." "$work/app/"
run_timed() {
  timeout "$timestamp_timeout" "$@"
}
sign() {
  if ! osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$product" \
    -in "$1" -out "$1.signed" >"$work/sign.err" 2>&1; then
    rm -f "$1.signed"
    fail "$2 could not be signed with '$pkcs12' (is the password right?): $(tail -n 1 "$work/sign.err")"
  fi
  mv "$1.signed" "$1"
  [ -n "$timestamp_url" ] || return 0
  status=0
  run_timed osslsigncode add "$timestamp_kind" "$timestamp_url" -in "$1" -out "$1.stamped" \
    >"$work/sign.err" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    mv "$1.stamped" "$1"
    return 0
  fi
  rm -f "$1.stamped"
  [ "$status" -ne 124 ] ||
    fail "the time-stamp server '$timestamp_url' did not answer within $timestamp_timeout seconds (--timestamp-timeout)"
  if [ "$timestamp_kind" = -t ]; then
    fail "the time-stamp server '$timestamp_url' gave no Authenticode time stamp for $2 (most current services answer RFC 3161 requests: try --timestamp-rfc3161)"
  fi
  fail "the time-stamp server '$timestamp_url' gave no RFC 3161 time stamp for $2: $(tail -n 1 "$work/sign.err")"
}
if [ -n "$pkcs12" ]; then
  old_ifs=$IFS
  IFS=$newline
  for program in $programs; do
    if [ "$program" = "$name" ]; then
      sign "$work/app/$program.exe" "the launcher"
    else
      sign "$work/app/$program.exe" "$program.exe"
    fi
  done
  IFS=$old_ifs
fi

dollar=TAVRINDOLLAR5E2C
NAME=$name PRODUCT=$product COMPANY=$company VERSION=$version UPGRADE_CODE=$upgrade_code \
  PER_MACHINE=$per_machine DESKTOP=$desktop ASSOCIATIONS=$associations PROTOCOL=$protocol \
  SERVICE_NAME=$service_name SERVICE_DESCRIPTION=$service_description \
  LOG_FILES=$log_files SHORTCUTS=$shortcuts TOOLS=$tools PROGRAMS=$programs DOLLAR=$dollar \
  python3 - "$work" <<'PYTHON'
import hashlib, os, sys, uuid
from xml.sax.saxutils import quoteattr

work = sys.argv[1]
env = os.environ
DOLLAR = env["DOLLAR"]
name, product, company = env["NAME"], env["PRODUCT"], env["COMPANY"]
version, upgrade = env["VERSION"], env["UPGRADE_CODE"]
per_machine, desktop = env["PER_MACHINE"] == "1", env["DESKTOP"] == "1"
associations = []
for line in env["ASSOCIATIONS"].splitlines():
    if line:
        kind, rest = line.split(" ", 1)
        extension, description = rest.split("=", 1)
        associations.append((kind, extension, description))
protocol = env["PROTOCOL"]
shortcuts = [line.split("\t", 1) for line in env["SHORTCUTS"].splitlines() if line]
tools = [line for line in env["TOOLS"].splitlines() if line]
programs = [line for line in env["PROGRAMS"].splitlines() if line]
service_name, service_description = env["SERVICE_NAME"], env["SERVICE_DESCRIPTION"]
namespace = uuid.UUID(upgrade)

def guid(text):
    return str(uuid.uuid5(namespace, text)).upper()

def ident(prefix, text):
    return prefix + hashlib.sha1(text.encode()).hexdigest()[:20]

# wixl's preprocessor takes $(...) for its variables and drops any other $,
# and nothing makes it write "$(": each $ goes in as a token that the tables
# get back afterwards.
def attr(text):
    return quoteattr(text.replace("$", DOLLAR))

# Windows Installer expands [...] in formatted columns (registry keys and
# values, shortcut targets): [\[] and [\]] are the brackets themselves.
def formatted(text):
    return "".join("[\\[]" if c == "[" else "[\\]]" if c == "]" else c for c in text)

root = "HKLM" if per_machine else "HKCU"
launcher = "[INSTALLDIR]" + formatted(name) + ".exe"
out = []
def emit(text):
    out.append(text)

components = []
directories = {"": "INSTALLDIR"}
def directory(path, depth):
    full = os.path.join(work, "app", path)
    entries = sorted(os.listdir(full))
    if not entries and path:
        # An empty folder is installed too.
        component = ident("c", path + "/")
        components.append(component)
        emit("  " * depth + "<Component Id=%s Guid=%s Win64=\"yes\"><CreateFolder/></Component>" % (
            attr(component), attr(guid("folder " + path))))
    for entry in entries:
        relative = os.path.join(path, entry) if path else entry
        if os.path.isdir(os.path.join(full, entry)):
            directories[relative] = ident("d", relative)
            emit("  " * depth + "<Directory Id=%s Name=%s>" % (attr(ident("d", relative)), attr(entry)))
            directory(relative, depth + 1)
            emit("  " * depth + "</Directory>")
            continue
        component = ident("c", relative)
        components.append(component)
        emit("  " * depth + "<Component Id=%s Guid=%s Win64=\"yes\">" % (attr(component), attr(guid("file " + relative))))
        emit("  " * depth + "  <File Id=%s Source=%s KeyPath=\"yes\"/>" % (attr(ident("f", relative)), attr(os.path.join("app", relative))))
        if service_name and relative == name + ".exe":
            # The launcher is the service: own process, started with
            # Windows, as LocalSystem; stopped before its files change.
            emit("  " * depth + "  <ServiceInstall Id=\"service\" Name=%s DisplayName=%s%s Type=\"ownProcess\" Start=\"auto\" ErrorControl=\"normal\" Account=\"LocalSystem\" Vital=\"yes\"/>" % (
                attr(service_name), attr(service_name),
                " Description=%s" % attr(service_description) if service_description else ""))
            # Started by an action at the end (below): Wine's msiexec cannot
            # open a service it has just installed.
            emit("  " * depth + "  <ServiceControl Id=\"servicecontrol\" Name=%s Stop=\"both\" Remove=\"uninstall\" Wait=\"yes\"/>" % attr(service_name))
        emit("  " * depth + "</Component>")

# The product code: another for every version and every product, so that
# two products sharing a --name never pass for one.
product_code = guid("product\n%s\n%s\n%s\n%s\n%s" % (version, product, company, name, per_machine))
emit('<?xml version="1.0" encoding="utf-8"?>')
emit('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
emit('<Product Id=%s Name=%s Language="1033" Version=%s Manufacturer=%s UpgradeCode=%s>' % (
    attr(product_code), attr(product), attr(version), attr(company), attr(upgrade)))
emit('<Package InstallerVersion="500" Compressed="yes" InstallScope=%s/>' % attr("perMachine" if per_machine else "perUser"))
emit('<Media Id="1" Cabinet="app.cab" EmbedCab="yes"/>')
emit('<MajorUpgrade DowngradeErrorMessage="A newer version of [ProductName] is already installed."/>')
emit('<Icon Id="launcher.ico" SourceFile=%s/>' % attr(os.path.join("app", name + ".exe")))
emit('<Property Id="ARPPRODUCTICON" Value="launcher.ico"/>')
for index, (program, _) in enumerate(shortcuts):
    emit('<Icon Id="launcher%d.ico" SourceFile=%s/>' % (index, attr(os.path.join("app", program + ".exe"))))
emit('<Directory Id="TARGETDIR" Name="SourceDir">')
if per_machine:
    emit('<Directory Id="ProgramFiles64Folder">')
else:
    emit('<Directory Id="LocalAppDataFolder"><Directory Id="ProgramsFolder" Name="Programs">')
emit('<Directory Id="INSTALLDIR" Name=%s>' % attr(product))
directory("", 1)
# What the launcher writes beside itself at run time, the shortcuts and the
# keys that send documents and links to it.
emit('<Component Id="integration" Guid=%s Win64="yes">' % attr(guid("integration")))
emit('<RegistryValue Root=%s Key=%s Name="InstallFolder" Value="[INSTALLDIR]" Type="string" KeyPath="yes"/>' % (
    attr(root), attr(formatted("Software\\" + company + "\\" + product))))
emit('<Shortcut Id="startmenu" Directory="ProgramMenuFolder" Name=%s Target=%s WorkingDirectory="INSTALLDIR" Icon="launcher.ico"/>' % (
    attr(product), attr(launcher)))
for index, (program, text) in enumerate(shortcuts):
    emit('<Shortcut Id="startmenu%d" Directory="ProgramMenuFolder" Name=%s Target=%s WorkingDirectory="INSTALLDIR" Icon="launcher%d.ico"/>' % (
        index, attr(text), attr("[INSTALLDIR]" + formatted(program) + ".exe"), index))
if desktop:
    emit('<Shortcut Id="desktop" Directory="DesktopFolder" Name=%s Target=%s WorkingDirectory="INSTALLDIR" Icon="launcher.ico"/>' % (
        attr(product), attr(launcher)))
command = '"%s" "%%1"' % launcher
def value(key, text, value_name=None):
    emit('<RegistryValue Root=%s Key=%s%s Value=%s Type="string"/>' % (
        attr(root), attr("Software\\Classes\\" + formatted(key)),
        "" if value_name is None else " Name=%s" % attr(formatted(value_name)), attr(text)))
for kind, extension, description in associations:
    klass = name + extension
    # Listed in the extension's "Open with" list; the default is the
    # application's in a component of its own (below).
    value(extension + "\\OpenWithProgids", "", klass)
    value(klass, formatted(description))
    value(klass + "\\DefaultIcon", launcher + ",0")
    value(klass + "\\shell\\open\\command", command)
if protocol:
    value(protocol, "URL:" + formatted(product))
    value(protocol, "", "URL Protocol")
    value(protocol + "\\DefaultIcon", launcher + ",0")
    value(protocol + "\\shell\\open\\command", command)
emit('<RemoveFolder Id="removeinstall" On="uninstall"/>')
emit('</Component>')
# The extensions' defaults, each in a component whose condition (set
# afterwards: wixl writes none) leaves another program's default alone.
defaults = []
for index, (kind, extension, description) in enumerate(associations):
    component = "default%d" % index
    emit('<Component Id=%s Guid=%s Win64="yes">' % (attr(component), attr(guid("default " + extension))))
    emit('<RegistryValue Root=%s Key=%s Value=%s Type="string" KeyPath="yes"/>' % (
        attr(root), attr("Software\\Classes\\" + extension), attr(formatted(name + extension))))
    emit('</Component>')
    defaults.append((component, kind, extension, name + extension))
emit('</Directory>')
emit('</Directory>' if per_machine else '</Directory></Directory>')
emit('<Directory Id="ProgramMenuFolder"/>')
emit('<Directory Id="DesktopFolder"/>')
emit('</Directory>')
emit('<Feature Id="Main" Level="1">')
for component in components + ["integration"] + [d[0] for d in defaults]:
    emit('<ComponentRef Id=%s/>' % attr(component))
emit('</Feature>')
emit('</Product>')
emit('</Wix>')
with open(os.path.join(work, "package.wxs"), "w", encoding="utf-8") as wxs:
    wxs.write("\n".join(out) + "\n")

def table(file_name, header, types, key, rows):
    with open(os.path.join(work, file_name), "w", encoding="cp1252", newline="\r\n") as idt:
        idt.write("\t".join(header) + "\n" + "\t".join(types) + "\n" + key + "\n")
        for row in rows:
            idt.write("\t".join(row) + "\n")

# The files the launcher leaves beside itself, removed on uninstall (wixl
# has no RemoveFile element; the table goes in afterwards). Named one by one:
# Windows Installer under Wine expands no wildcards.
# A start while an earlier application still runs writes java.jar.run.2.*
# up to java.jar.run.16.*; a program with a section of its own in
# tavrin.ini names them after itself (example.jar.run.*).
names = []
for prefix in ["java"] + programs:
    runs = [prefix + ".jar.run"] + ["%s.jar.run.%d" % (prefix, number) for number in range(2, 17)]
    names += [("INSTALLDIR", base + suffix) for base in runs + [prefix + ".version.check"]
              for suffix in (".output.file", ".error.file", ".input.file")]
names.append(("INSTALLDIR", "tavrin.ini.before-upgrade"))
if service_name:
    names.append(("INSTALLDIR", name + ".service.log")) # the service's own log
# The log-files the launchers write in the install folder.
for given in env["LOG_FILES"].splitlines():
    log_file = given.replace("/", "\\").lstrip("\\")
    if not log_file or ":" in log_file or "%" in log_file:
        continue
    log_folder, _, log_name = log_file.rpartition("\\")
    if log_folder.replace("\\", "/") in directories:
        names.append((directories[log_folder.replace("\\", "/")], log_name))
    else:
        print("package.sh: warning: log-file '%s' is in a folder the package does not make: "
              "the uninstall leaves it" % given, file=sys.stderr)
# Every folder of the package, once empty (an empty name: the folder).
names += [(identifier, "") for relative, identifier in sorted(directories.items(), reverse=True)
          if relative]
table("RemoveFile.idt", ["FileKey", "Component_", "FileName", "DirProperty", "InstallMode"],
      ["s72", "s72", "L255", "s72", "i2"], "RemoveFile\tFileKey",
      [("runtime%d" % index, "integration", file_name, folder, "2")
       for index, (folder, file_name) in enumerate(names)])

# The tools' folder on PATH, the user's or the machine's: added at the end
# on install ([~] is the value there already), taken off on uninstall.
table("Environment.idt", ["Environment", "Name", "Value", "Component_"], ["s72", "l255", "L255", "s72"],
      "Environment\tEnvironment", [("toolsonpath", "=-*PATH" if per_machine else "=-PATH",
                                   "[~];[INSTALLDIR]", "integration")] if tools else [])

# Who holds each extension before the install, the user's classes and the
# machine's: the default then goes to the application only when nobody does
# (or it already has it), unless asked.
searches = []
for index, (_, _, extension, _) in enumerate(defaults):
    for scope, registry_root in (("USER", "1"), ("MACHINE", "2")):
        searches.append(("HELD%s%d" % (scope, index), registry_root, "Software\\Classes\\" + extension))
table("AppSearch.idt", ["Property", "Signature_"], ["s72", "s72"], "AppSearch\tProperty\tSignature_",
      [(prop, prop.lower()) for prop, _, _ in searches])
table("RegLocator.idt", ["Signature_", "Root", "Key", "Name", "Type"], ["s72", "i2", "s255", "S255", "I2"],
      "RegLocator\tSignature_", [(prop.lower(), registry_root, key, "", "18")
                                for prop, registry_root, key in searches])
with open(os.path.join(work, "conditions.txt"), "w", encoding="utf-8") as conditions:
    for index, (component, kind, extension, klass) in enumerate(defaults):
        if kind == "open-with":
            conditions.write(component + "\t" + " AND ".join(
                '(NOT HELD%s%d OR HELD%s%d = "%s")' % (scope, index, scope, index, klass)
                for scope in ("USER", "MACHINE")) + "\n")
PYTHON

# What wixl cannot write, added with msibuild: each table whole.
add_table() {
  (cd "$work" && msibuild "$msi" -i "$1") || fail "msibuild could not add the table $1"
}
add_rows() { # TABLE ROWS: the table as wixl wrote it, with rows added
  msiinfo export "$work/$msi" "$1" >"$work/$1.idt" || fail "msiinfo could not read the table $1"
  printf '%s' "$2" | sed 's/$/\r/' >>"$work/$1.idt"
  add_table "$1.idt"
}
(cd "$work" && wixl -a x64 -o "$msi" package.wxs 2>wixl.err) ||
  fail "wixl could not build the package: $(cat "$work/wixl.err")"
add_table RemoveFile.idt
for table in Property Directory File Registry Shortcut; do
  msiinfo export "$work/$msi" "$table" >"$work/$table.idt" 2>/dev/null || continue
  if grep -q "$dollar" "$work/$table.idt"; then
    sed -i "s/$dollar/\$/g" "$work/$table.idt"
    add_table "$table.idt"
  fi
done
if [ -n "$tools" ]; then
  add_table Environment.idt
  add_rows InstallExecuteSequence "RemoveEnvironmentStrings		3300
WriteEnvironmentStrings		5200"
fi
if [ -n "$associations" ]; then
  add_table AppSearch.idt
  add_table RegLocator.idt
  add_rows InstallExecuteSequence "AppSearch		50"
  add_rows InstallUISequence "AppSearch		50"
  # Component, ComponentId, Directory_, Attributes, Condition, KeyPath.
  msiinfo export "$work/$msi" Component |
    awk -F '\t' -v OFS='\t' 'NR == FNR { condition[$1] = $2; next }
      $1 in condition { $5 = condition[$1] } { print }' "$work/conditions.txt" - >"$work/Component.idt"
  add_table Component.idt
fi
# An upgrade removes the old version, tavrin.ini with it, before it installs
# the new one: the user's tavrin.ini is kept for them as
# tavrin.ini.before-upgrade (through the temporary folder, since the old
# version's uninstall removes that name).
kept="[TempFolder]tavrin-$upgrade_code.ini"
printf 'Action\tType\tSource\tTarget\ns72\ti2\tS72\tS255\nCustomAction\tAction\nKeepSettings\t98\tTARGETDIR\t"[System64Folder]cmd.exe" /c if exist "[INSTALLDIR]tavrin.ini" copy /y "[INSTALLDIR]tavrin.ini" "%s"\nRestoreSettings\t98\tTARGETDIR\t"[System64Folder]cmd.exe" /c if exist "%s" move /y "%s" "[INSTALLDIR]tavrin.ini.before-upgrade"\n' \
  "$kept" "$kept" "$kept" | sed 's/$/\r/' >"$work/CustomAction.idt"
add_rows InstallExecuteSequence "KeepSettings	WIX_UPGRADE_DETECTED	1390
RestoreSettings	WIX_UPGRADE_DETECTED	6610"
printf 'Action\tDescription\tTemplate\ns72\tL0\tL0\nActionText\tAction\nKeepSettings\tKeeping tavrin.ini, which the upgrade replaces, as tavrin.ini.before-upgrade\t\nRestoreSettings\tThe tavrin.ini before the upgrade is tavrin.ini.before-upgrade\t\n' |
  sed 's/$/\r/' >"$work/ActionText.idt"
# The service starts once the install (or upgrade) is complete; a start that
# fails leaves the installed files, and the service's log says why.
if [ -n "$service" ]; then
  formatted_name=$(printf '%s' "$service_name" | sed 's/\[/\x01/g; s/\]/\x02/g; s/\x01/[\\[]/g; s/\x02/[\\]]/g')
  printf 'StartTheService\t98\tTARGETDIR\t"[System64Folder]sc.exe" start "%s"\r\n' "$formatted_name" \
    >>"$work/CustomAction.idt"
  add_rows InstallExecuteSequence "StartTheService	NOT REMOVE	6620"
  printf 'StartTheService\tStarting the service %s\t\r\n' "$service_name" >>"$work/ActionText.idt"
fi
add_table CustomAction.idt
add_table ActionText.idt
# wixl picks a random package code: one derived from the content instead, so
# that the same inputs give the same code. (Its time stamps stay wixl's.)
package_code=$(guid_of "$(cd "$work" && cat package.wxs && find app -type f | LC_ALL=C sort | xargs -d '\n' sha1sum)")
(cd "$work" && msibuild "$msi" -s "$product" "$company" "x64;1033" "{$package_code}") ||
  fail "msibuild could not set the package code"
if [ -n "$pkcs12" ]; then
  sign "$work/$msi" "the package"
fi
cp "$work/$msi" "dist/$msi"
echo "Built dist/$msi: $product $version, $(if [ -n "$per_machine" ]; then echo "for all users (Program Files)"; else echo "for the user who installs it"; fi)."
if [ -z "$upgrade_given" ]; then
  echo "Upgrade code: {$upgrade_code}, made from --product and --name. Every later version must carry it, or it installs beside this one: pin it with --upgrade-code {$upgrade_code}."
else
  echo "Upgrade code: {$upgrade_code}."
fi
if [ -n "$tools" ]; then
  echo "The tools ($(printf '%s' "$tools" | tr '\n' ' ' | sed 's/ $//')) run from a command prompt opened after the install: the install folder is on $(if [ -n "$per_machine" ]; then echo "the machine's PATH"; else echo "the user's PATH"; fi)."
fi
echo "Test it with: msiexec /i $msi /qn, and uninstall with msiexec /x $msi /qn"
