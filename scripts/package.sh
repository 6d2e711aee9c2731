#!/bin/sh
# Packs an application folder into a Windows installer, dist/NAME-VERSION.msi,
# on Linux (wixl and msibuild, from Debian's wixl and msitools packages).
# Run scripts/setup.sh first on a fresh machine.
#
#   scripts/package.sh --app-dir DIR --name NAME --version A.B.C
#                      [--product TEXT] [--company TEXT] [--per-machine]
#                      [--desktop-shortcut] [--associate .EXT=DESCRIPTION]...
#                      [--url-protocol SCHEME] [--upgrade-code GUID]
#                      [--sign-pkcs12 FILE --sign-password-file FILE]
#                      [--timestamp-url URL]
#
# DIR holds the launcher NAME.exe, tavrin.ini, the JARs and any runtime
# folder; everything in it is installed. Bad input is refused with a
# sentence, and nothing is written to dist/ then.
set -eu
# Relative paths are the caller's, from the folder the script is run in.
caller=$PWD
cd "$(dirname "$0")/.."

fail() {
  echo "package.sh: $*" >&2
  exit 2
}

. scripts/input_checks.sh
. scripts/settings_reader.sh

usage() {
  echo "usage: scripts/package.sh --app-dir DIR --name NAME --version A.B.C [--product TEXT]" >&2
  echo "         [--company TEXT] [--per-machine] [--desktop-shortcut]" >&2
  echo "         [--associate .EXT=DESCRIPTION]... [--url-protocol SCHEME] [--upgrade-code GUID]" >&2
  echo "         [--sign-pkcs12 FILE --sign-password-file FILE] [--timestamp-url URL]" >&2
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
newline='
'
while [ $# -gt 0 ]; do
  case $1 in
    --per-machine) per_machine=1; shift; continue ;;
    --desktop-shortcut) desktop=1; shift; continue ;;
  esac
  [ $# -ge 2 ] || usage
  case $1 in
    --app-dir) app_dir=$(callers "$2") ;;
    --name) name=$2 ;;
    --version) version=$2 ;;
    --product) product=$2 ;;
    --company) company=$2 ;;
    --associate) associations="$associations$2$newline" ;;
    --url-protocol) protocol=$2 ;;
    --upgrade-code) upgrade_code=$2 ;;
    --sign-pkcs12) pkcs12=$(callers "$2") ;;
    --sign-password-file) password_file=$(callers "$2") ;;
    --timestamp-url) timestamp_url=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$app_dir" ] && [ -n "$name" ] && [ -n "$version" ] || usage
product=${product:-$name}
company=${company:-$product}

# --- Names and texts. ---
check_file_name --name "$name"
check_file_name --product "$product" # the install folder's name
check_text --company "$company"

# --- The folder. ---
[ -d "$app_dir" ] && [ -r "$app_dir" ] && [ -x "$app_dir" ] ||
  fail "--app-dir '$app_dir' is not a readable folder"
[ -f "$app_dir/$name.exe" ] || fail "--app-dir '$app_dir' has no launcher $name.exe"
[ -f "$app_dir/tavrin.ini" ] || fail "--app-dir '$app_dir' has no tavrin.ini"
unreadable=$(find "$app_dir" ! -readable | head -n 1)
[ -z "$unreadable" ] || fail "--app-dir: '$unreadable' cannot be read"

# --- The version: three numbers, as Windows Installer takes them. ---
echo "$version" | grep -Eq '^[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}$' ||
  fail "--version '$version' is not three numbers such as 2.4.1"
major=$(echo "$version" | cut -d. -f1 | sed 's/^0*\(.\)/\1/')
minor=$(echo "$version" | cut -d. -f2 | sed 's/^0*\(.\)/\1/')
build=$(echo "$version" | cut -d. -f3 | sed 's/^0*\(.\)/\1/')
[ "$major" -le 255 ] || fail "--version '$version': the first number is above 255"
[ "$minor" -le 255 ] || fail "--version '$version': the second number is above 255"
[ "$build" -le 65535 ] || fail "--version '$version': the third number is above 65535"
version=$major.$minor.$build

# --- Associations and links: they hand a document or link to the launcher,
# which passes it on only with pass-arguments=1. ---
pass_arguments=$(settings_value "$app_dir/tavrin.ini" pass-arguments)
old_ifs=$IFS
IFS=$newline
for association in $associations; do
  extension=${association%%=*}
  description=${association#*=}
  echo "$extension" | grep -Eq '^\.[A-Za-z0-9]+$' ||
    fail "--associate '$association': the extension must be a dot and letters or digits"
  [ "$association" != "$extension" ] && [ -n "$description" ] ||
    fail "--associate '$association': give a description after ="
  check_text "--associate $extension" "$description"
done
IFS=$old_ifs
if [ -n "$protocol" ]; then
  echo "$protocol" | grep -Eq '^[A-Za-z][A-Za-z0-9+.-]*$' ||
    fail "--url-protocol '$protocol' is not a URL scheme (a letter, then letters, digits, + . -)"
fi
if { [ -n "$associations" ] || [ -n "$protocol" ]; } && [ "$pass_arguments" != 1 ]; then
  fail "--associate and --url-protocol need pass-arguments=1 in tavrin.ini: without it the document or link never reaches the application"
fi

# --- The upgrade code: every version of one application shares it. ---
guid_pattern='^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$'
# A GUID from the bytes of a text (SHA-1, version 5 layout).
guid_of() {
  printf '%s' "$1" | sha1sum | cut -c1-32 |
    sed 's/^\(.\{8\}\)\(.\{4\}\).\(.\{3\}\).\(.\{3\}\)\(.\{12\}\)$/\1-\2-5\3-8\4-\5/' |
    tr 'a-f' 'A-F'
}
if [ -n "$upgrade_code" ]; then
  printf '%s' "$upgrade_code" | grep -Eq "$guid_pattern" ||
    fail "--upgrade-code '$upgrade_code' is not a GUID such as 01234567-89AB-CDEF-0123-456789ABCDEF"
  upgrade_code=$(printf '%s' "$upgrade_code" | tr 'a-f' 'A-F')
else
  upgrade_code=$(guid_of "tavrin upgrade code
$company
$name")
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
  [ -n "$pkcs12" ] || fail "--timestamp-url needs --sign-pkcs12"
  echo "$timestamp_url" | grep -Eq '^https?://[^ "<>]+$' ||
    fail "--timestamp-url '$timestamp_url' is not a web address"
fi

if [ -n "$per_machine" ] && [ -z "$(settings_value "$app_dir/tavrin.ini" user-settings)" ]; then
  echo "package.sh: warning: a per-machine install without user-settings in tavrin.ini: users cannot write tavrin.ini under Program Files, so nothing is remembered and users have no settings of their own" >&2
fi

# --- The package, built in a folder of its own; dist/ gets it only when it
# is complete. ---
folder=$(printf '%s' "$name" | LC_ALL=C sed 's/[^A-Za-z0-9._-]/_/g')
work=build/package/$folder
rm -rf "$work"
mkdir -p "$work/app"
cp -R "$app_dir/." "$work/app/"
sign() {
  if [ -n "$timestamp_url" ]; then
    osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$product" \
      -t "$timestamp_url" -in "$1" -out "$1.signed" >/dev/null
  else
    osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$product" \
      -in "$1" -out "$1.signed" >/dev/null
  fi
  mv "$1.signed" "$1"
}
if [ -n "$pkcs12" ]; then
  sign "$work/app/$name.exe" || fail "the launcher could not be signed with '$pkcs12'"
fi

NAME=$name PRODUCT=$product COMPANY=$company VERSION=$version UPGRADE_CODE=$upgrade_code \
  PER_MACHINE=$per_machine DESKTOP=$desktop ASSOCIATIONS=$associations PROTOCOL=$protocol \
  python3 - "$work" <<'PYTHON'
import hashlib, os, sys, uuid
from xml.sax.saxutils import quoteattr

work = sys.argv[1]
env = os.environ
name, product, company = env["NAME"], env["PRODUCT"], env["COMPANY"]
version, upgrade = env["VERSION"], env["UPGRADE_CODE"]
per_machine, desktop = env["PER_MACHINE"] == "1", env["DESKTOP"] == "1"
associations = [line.split("=", 1) for line in env["ASSOCIATIONS"].splitlines() if line]
protocol = env["PROTOCOL"]
namespace = uuid.UUID(upgrade)

def guid(text):
    return str(uuid.uuid5(namespace, text)).upper()

def ident(prefix, text):
    return prefix + hashlib.sha1(text.encode()).hexdigest()[:20]

root = "HKLM" if per_machine else "HKCU"
launcher = "[INSTALLDIR]" + name + ".exe"
out = []
def emit(text):
    out.append(text)

components = []
def directory(path, depth):
    full = os.path.join(work, "app", path)
    for entry in sorted(os.listdir(full)):
        relative = os.path.join(path, entry) if path else entry
        if os.path.isdir(os.path.join(full, entry)):
            emit("  " * depth + "<Directory Id=%s Name=%s>" % (quoteattr(ident("d", relative)), quoteattr(entry)))
            directory(relative, depth + 1)
            emit("  " * depth + "</Directory>")
            continue
        component = ident("c", relative)
        components.append(component)
        emit("  " * depth + "<Component Id=%s Guid=%s Win64=\"yes\">" % (quoteattr(component), quoteattr(guid("file " + relative))))
        emit("  " * depth + "  <File Id=%s Source=%s KeyPath=\"yes\"/>" % (quoteattr(ident("f", relative)), quoteattr(os.path.join("app", relative))))
        emit("  " * depth + "</Component>")

emit('<?xml version="1.0" encoding="utf-8"?>')
emit('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
emit('<Product Id=%s Name=%s Language="1033" Version=%s Manufacturer=%s UpgradeCode=%s>' % (
    quoteattr(guid("product " + version)), quoteattr(product), quoteattr(version), quoteattr(company), quoteattr(upgrade)))
emit('<Package InstallerVersion="500" Compressed="yes" InstallScope=%s/>' % quoteattr("perMachine" if per_machine else "perUser"))
emit('<Media Id="1" Cabinet="app.cab" EmbedCab="yes"/>')
emit('<MajorUpgrade DowngradeErrorMessage="A newer version of [ProductName] is already installed."/>')
emit('<Icon Id="launcher.ico" SourceFile=%s/>' % quoteattr(os.path.join("app", name + ".exe")))
emit('<Property Id="ARPPRODUCTICON" Value="launcher.ico"/>')
emit('<Directory Id="TARGETDIR" Name="SourceDir">')
if per_machine:
    emit('<Directory Id="ProgramFiles64Folder">')
else:
    emit('<Directory Id="LocalAppDataFolder"><Directory Id="ProgramsFolder" Name="Programs">')
emit('<Directory Id="INSTALLDIR" Name=%s>' % quoteattr(product))
directory("", 1)
# What the launcher writes beside itself at run time, the shortcuts and the
# keys that send documents and links to it.
emit('<Component Id="integration" Guid=%s Win64="yes">' % quoteattr(guid("integration")))
emit('<RegistryValue Root=%s Key=%s Name="InstallFolder" Value="[INSTALLDIR]" Type="string" KeyPath="yes"/>' % (
    quoteattr(root), quoteattr("Software\\" + company + "\\" + product)))
emit('<Shortcut Id="startmenu" Directory="ProgramMenuFolder" Name=%s Target=%s WorkingDirectory="INSTALLDIR" Icon="launcher.ico"/>' % (
    quoteattr(product), quoteattr(launcher)))
if desktop:
    emit('<Shortcut Id="desktop" Directory="DesktopFolder" Name=%s Target=%s WorkingDirectory="INSTALLDIR" Icon="launcher.ico"/>' % (
        quoteattr(product), quoteattr(launcher)))
command = '"%s" "%%1"' % launcher
def value(key, text, value_name=None):
    emit('<RegistryValue Root=%s Key=%s%s Value=%s Type="string"/>' % (
        quoteattr(root), quoteattr("Software\\Classes\\" + key),
        "" if value_name is None else " Name=%s" % quoteattr(value_name), quoteattr(text)))
for extension, description in associations:
    klass = name + extension
    value(extension, klass)
    value(klass, description)
    value(klass + "\\DefaultIcon", launcher + ",0")
    value(klass + "\\shell\\open\\command", command)
if protocol:
    value(protocol, "URL:" + product)
    value(protocol, "", "URL Protocol")
    value(protocol + "\\DefaultIcon", launcher + ",0")
    value(protocol + "\\shell\\open\\command", command)
emit('<RemoveFolder Id="removeinstall" On="uninstall"/>')
emit('</Component>')
emit('</Directory>')
emit('</Directory>' if per_machine else '</Directory></Directory>')
emit('<Directory Id="ProgramMenuFolder"/>')
emit('<Directory Id="DesktopFolder"/>')
emit('</Directory>')
emit('<Feature Id="Main" Level="1">')
for component in components + ["integration"]:
    emit('<ComponentRef Id=%s/>' % quoteattr(component))
emit('</Feature>')
emit('</Product>')
emit('</Wix>')
with open(os.path.join(work, "package.wxs"), "w", encoding="utf-8") as wxs:
    wxs.write("\n".join(out) + "\n")

# The files the launcher leaves beside itself, removed on uninstall (wixl
# has no RemoveFile element; the table goes in afterwards). Named one by one:
# Windows Installer under Wine expands no wildcards.
# A start while an earlier application still runs writes java.jar.run.2.*
# up to java.jar.run.16.*.
runs = ["java.jar.run"] + ["java.jar.run.%d" % number for number in range(2, 17)]
names = [base + suffix for base in runs + ["java.version.check"]
         for suffix in (".output.file", ".error.file", ".input.file")]
with open(os.path.join(work, "RemoveFile.idt"), "w", encoding="utf-8", newline="\r\n") as idt:
    idt.write("FileKey\tComponent_\tFileName\tDirProperty\tInstallMode\n")
    idt.write("s72\ts72\tL255\ts72\ti2\n")
    idt.write("RemoveFile\tFileKey\n")
    for index, file_name in enumerate(names):
        idt.write("runtime%d\tintegration\t%s\tINSTALLDIR\t2\n" % (index, file_name))
PYTHON

msi=$name-$version.msi
(cd "$work" && wixl -a x64 -o "$msi" package.wxs 2>wixl.err) ||
  fail "wixl could not build the package: $(cat "$work/wixl.err")"
(cd "$work" && msibuild "$msi" -i RemoveFile.idt) ||
  fail "msibuild could not add the files to remove on uninstall"
# wixl picks a random package code: one derived from the content instead, so
# that the same inputs give the same code. (Its time stamps stay wixl's.)
package_code=$(guid_of "$(cd "$work" && cat package.wxs && find app -type f | LC_ALL=C sort | xargs -d '\n' sha1sum)")
(cd "$work" && msibuild "$msi" -s "$product" "$company" "x64;1033" "{$package_code}") ||
  fail "msibuild could not set the package code"
if [ -n "$pkcs12" ]; then
  sign "$work/$msi" || fail "the package could not be signed with '$pkcs12'"
fi
mkdir -p dist
cp "$work/$msi" "dist/$msi"
echo "Built dist/$msi: $product $version, $(if [ -n "$per_machine" ]; then echo "for all users (Program Files)"; else echo "for the user who installs it"; fi)."
echo "Test it with: msiexec /i $msi /qn, and uninstall with msiexec /x $msi /qn"
