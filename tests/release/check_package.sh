#!/bin/sh
# Checks scripts/package.sh in a copy of the scripts: bad input is refused
# with a sentence and nothing in dist/; its packages install under Wine's
# msiexec in a prefix of this test's own, per user and per machine, with the
# files, shortcuts and keys they promise, hand a document to the application,
# upgrade in place, refuse a downgrade, uninstall without a trace (keeping
# the user's own settings), and verify when signed; the names, texts,
# settings and signing it refuses or warns about, row by row.
#   check_package.sh SOURCE_DIR WORK_DIR TAVRIN.EXE FAKE_JAVA.EXE TAVRINC.EXE
set -eu
source_dir=$1
work=$2
tavrin=$3
fake_java=$4
tavrinc=$5
rm -rf "$work"
mkdir -p "$work"
newline='
'
. "$(dirname "$0")/package_tree.sh"

# The author's folder: the launcher, tavrin.ini, a JAR, and a bundled runtime
# (the stand-in, which records every run outside the install folder).
app=$work/app
make_app() {
  rm -rf "$app"
  mkdir -p "$app/lib" "$app/runtime/bin" "$app/data/empty"
  cp "$tavrin" "$app/Example.exe"
  cp "$tavrin" "$app/Viewer.exe"
  cp "$tavrinc" "$app/example-tool.exe"
  printf 'PK' >"$app/lib/app.jar"
  printf 'PK' >"$app/lib/old.jar"
  cp "$fake_java" "$app/runtime/bin/java.exe"
  printf 'FAKE_JAVA_RECORD=C:\\records\\runs.txt\r\n' >"$app/runtime/bin/fake-java.cfg"
  # The programs' own sections first: lines added at the end go to [tavrin].
  printf '[example-tool.exe]\r\nstart-arguments=--batch\r\n\r\n[Viewer.exe]\r\nstart-arguments=--view\r\n\r\n' \
    >"$app/tavrin.ini"
  printf '[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\njava-location=runtime\\bin\r\nwait-for-exit=1\r\nask-for-java-location=0\r\nallow-newer-version=1\r\npass-arguments=%s\r\nuser-settings=Example App\r\nlog-file=example.log\r\n' \
    "$1" >>"$app/tavrin.ini"
}

# --- Bad input: a sentence, a non-zero exit, nothing in dist/. ---
make_app 1
cp -R "$app" "$work/no-pass"
sed -i 's/pass-arguments=1/pass-arguments=0/' "$work/no-pass/tavrin.ini"
mkdir -p "$work/no-exe" "$work/no-ini"
cp "$app/tavrin.ini" "$work/no-exe/"
cp "$app/Example.exe" "$work/no-ini/"
refused() {
  expected=$1
  shift
  if package "$@"; then
    fail "package.sh $*: accepted"
  elif ! grep -qF -- "$expected" "$work/package.err"; then
    fail "package.sh $*: said '$(cat "$work/package.err")', not '$expected'"
  fi
  [ -z "$(ls "$tree/dist")" ] || fail "package.sh $*: left a file in dist/"
}
ok=" --name Example --version 1.0.0"
# shellcheck disable=SC2086
{
  refused "usage" --app-dir "$app" --version 1.0.0
  refused "is not a readable folder" --app-dir "$work/none" $ok
  refused "has no launcher Example.exe" --app-dir "$work/no-exe" $ok
  refused "has no tavrin.ini" --app-dir "$work/no-ini" $ok
  refused "is not three numbers" --app-dir "$app" --name Example --version 2.4
  refused "is not three numbers" --app-dir "$app" --name Example --version 1.0.x
  refused "the first number is above 255" --app-dir "$app" --name Example --version 256.0.0
  refused "the second number is above 255" --app-dir "$app" --name Example --version 1.256.0
  refused "the third number is above 65535" --app-dir "$app" --name Example --version 1.0.65536
  refused "must be a dot and letters or digits" --app-dir "$app" $ok --associate plan=Plan
  refused "must be a dot and letters or digits" --app-dir "$app" $ok --associate ".pl an=Plan"
  refused "must be a dot and letters or digits" --app-dir "$app" $ok --associate "..plan=Plan"
  refused "give a description" --app-dir "$app" $ok --associate .plan
  refused "is not a URL scheme" --app-dir "$app" $ok --url-protocol 1app
  refused "is not a URL scheme" --app-dir "$app" $ok --url-protocol "a b"
  refused "is not a GUID" --app-dir "$app" $ok --upgrade-code 1234
  refused "need pass-arguments=1" --app-dir "$work/no-pass" $ok --associate .plan=Plan
  refused "need pass-arguments=1" --app-dir "$work/no-pass" $ok --url-protocol exampleapp
  refused "go together" --app-dir "$app" $ok --sign-pkcs12 "$work/none.p12"
  refused "is not a readable file" --app-dir "$app" $ok --sign-pkcs12 "$work/none.p12" \
    --sign-password-file "$work/none.txt"
  refused "is not three numbers" --app-dir "$app" --name Example --version "1.0.0$newline"
  refused "is not three numbers" --app-dir "$app" --name Example --version "1.0.0${newline}x"
  refused "is not a GUID" --app-dir "$app" $ok --upgrade-code "01234567-89AB-CDEF-0123-456789ABCDEF${newline}x"
  refused "is not a GUID" --app-dir "$app" $ok --upgrade-code "{01234567-89AB-CDEF-0123-456789ABCDEF"
  refused "--product 'Ωmega' has characters outside Windows code page 1252" --app-dir "$app" $ok --product "Ωmega"
  refused "--company '日本語アプリ' has characters outside" --app-dir "$app" $ok --company "日本語アプリ"
  refused "has characters outside" --app-dir "$app" $ok --product "$(printf 'Cafe\314\201')"
  refused "--associate .plan 'Plan 😀' has characters outside" --app-dir "$app" $ok --associate ".plan=Plan 😀"
  refused "--product is longer than 128 characters" --app-dir "$app" $ok --product "$(printf '%0129d' 0)"
  refused "--company is longer than 128 characters" --app-dir "$app" $ok --company "$(printf '%0321d' 0)"
  refused "Windows itself opens .exe files" --app-dir "$app" $ok --associate .EXE=Program
  refused "Windows itself opens .lnk files" --app-dir "$app" $ok --associate .lnk=Link
  refused "Windows itself opens .ps1 files" --app-dir "$app" $ok --associate .ps1=Script
  refused "the system and other programs open http links" --app-dir "$app" $ok --url-protocol HTTP
  refused "the system and other programs open mailto links" --app-dir "$app" $ok --url-protocol mailto
  refused "ms- links belong to Windows" --app-dir "$app" $ok --url-protocol ms-settings-x
  refused "given twice, with different descriptions" --app-dir "$app" $ok --associate .plan=Plan \
    --associate .PLAN=Other
  refused "is not a number of seconds" --app-dir "$app" $ok --timestamp-timeout 2s
  refused "--launcher 'Missing': --app-dir '$app' has no launcher Missing.exe" --app-dir "$app" $ok \
    --launcher Missing
  refused "--launcher 'Viewer.exe': give the name without .exe" --app-dir "$app" $ok --launcher Viewer.exe
  refused "--tool 'Example': Example.exe is already given (as --name, --launcher or --tool)" \
    --app-dir "$app" $ok --tool Example
  refused "--tool 'Viewer': Viewer.exe is already given" --app-dir "$app" $ok --launcher Viewer \
    --tool Viewer
  refused "--tool 'example-tool': example-tool.exe is already given" --app-dir "$app" $ok \
    --tool example-tool --tool example-tool
  refused "--launcher example-tool: example-tool.exe is a console launcher: give it as --tool" \
    --app-dir "$app" $ok --launcher example-tool
  refused "--tool Viewer: Viewer.exe is a windowed launcher" --app-dir "$app" $ok --tool Viewer
  refused "--launcher Viewer: its shortcut 'example' has the name of another shortcut" \
    --app-dir "$app" $ok --launcher Viewer=example
  # Named by its version block's description, as the product's shortcut is.
  refused "--launcher Viewer: its shortcut 'Java application launcher' has the name of another" \
    --app-dir "$app" $ok --product "Java application launcher" --launcher Viewer
  refused "--launcher Viewer: the shortcut 'a/b': Windows file names cannot hold" --app-dir "$app" $ok \
    --launcher Viewer=a/b
  refused "--service needs --per-machine" --app-dir "$app" $ok --service
  refused "--service needs service-name in tavrin.ini" --app-dir "$app" $ok --per-machine --service
  refused "--service-description goes with --service" --app-dir "$app" $ok --per-machine \
    --service-description "A server"
}

# The author's folder as Windows must hold it: each row a file made in a
# copy of the folder (printf's escapes) and the sentence that refuses it.
while IFS='|' read -r made expected; do
  rm -rf "$work/names"
  cp -R "$app" "$work/names"
  # shellcheck disable=SC2059
  path=$(printf "$made")
  mkdir -p "$work/names/$(dirname "$path")"
  printf 'x' >"$work/names/$path"
  # shellcheck disable=SC2086
  refused "$expected" --app-dir "$work/names" $ok
done <<'ROWS'
what?.txt|--app-dir: 'what?.txt': Windows file names cannot hold
a:b.txt|--app-dir: 'a:b.txt': Windows file names cannot hold
pipe\174x.txt|--app-dir: 'pipe|x.txt': Windows file names cannot hold
back\\slash.txt|--app-dir: 'back\slash.txt': Windows file names cannot hold
Icon\r|or control characters
lib/aux.txt|--app-dir: 'lib/aux.txt': aux is a device name on Windows
dot.|--app-dir: 'dot.': Windows file names cannot end in a dot or a blank
blank |--app-dir: 'blank ': Windows file names cannot end in a dot or a blank
TAVRIN.INI|--app-dir: 'TAVRIN.INI' and 'tavrin.ini' differ only in letter case
lib/APP.jar|--app-dir: 'lib/APP.jar' and 'lib/app.jar' differ only in letter case
\346\227\245\346\234\254\350\252\236/\343\203\225\343\202\241\343\202\244\343\203\253.txt|--app-dir: '日本語': the name has characters outside Windows code page 1252
\316\251mega.txt|--app-dir: 'Ωmega.txt': the name has characters outside Windows code page 1252
Cafe\314\201.txt|(its accents are written as separate characters: compose them)
ROWS
# A link that points nowhere is named as the author made it.
rm -rf "$work/names" && cp -R "$app" "$work/names"
ln -s ../nowhere.jar "$work/names/lib/gone.jar"
refused "the link '$work/names/lib/gone.jar' points to '../nowhere.jar', which is not there" \
  --app-dir "$work/names" $ok
# tavrin.ini as the launcher would refuse it, and a console launcher that
# would get a Start-menu shortcut.
while IFS='|' read -r change expected; do
  rm -rf "$work/settings"
  cp -R "$app" "$work/settings"
  sed -i "$change" "$work/settings/tavrin.ini"
  # shellcheck disable=SC2086
  refused "$expected" --app-dir "$work/settings" $ok
done <<'ROWS'
/^min-java-version=/d|tavrin.ini has no min-java-version, which the launcher requires
/^wait-for-exit=/d|tavrin.ini has no wait-for-exit, which the launcher requires
/^ask-for-java-location=/d|tavrin.ini has no ask-for-java-location
/^jar-file-name=/d|tavrin.ini gives no jar-file-name, main-class or module
s/^jar-file-name=.*/&\r\nmain-class=a.Main/|more than one of jar-file-name, main-class and module
ROWS
rm -rf "$work/settings" && cp -R "$app" "$work/settings"
sed -i '/^wait-for-exit=/d' "$work/settings/tavrin.ini"
printf 'in-process=1\r\n' >>"$work/settings/tavrin.ini"
package --app-dir "$work/settings" $ok || fail "in process without wait-for-exit: refused: $(cat "$work/package.err")"
rm -f "$tree/dist/"*
# Each program's settings are [tavrin] with its own section over it: an
# empty value there clears a required key, which a tool does not need.
rm -rf "$work/settings" && cp -R "$app" "$work/settings"
sed -i 's/^start-arguments=--view/&\r\nwait-for-exit=/; s/^start-arguments=--batch/&\r\nwait-for-exit=/' \
  "$work/settings/tavrin.ini"
package --app-dir "$work/settings" $ok --tool example-tool ||
  fail "a tool without wait-for-exit: refused: $(cat "$work/package.err")"
rm -f "$tree/dist/"*
refused "tavrin.ini for Viewer.exe has no wait-for-exit, which the launcher requires" \
  --app-dir "$work/settings" $ok --launcher Viewer
sed -i 's/^start-arguments=--batch/&\r\nmin-java-version=/' "$work/settings/tavrin.ini"
refused "tavrin.ini for example-tool.exe has no min-java-version, which the launcher requires" \
  --app-dir "$work/settings" $ok --tool example-tool
cp "$tavrinc" "$work/settings/Example.exe"
refused "Example.exe is a console launcher" --app-dir "$work/settings" $ok
# The script's own folders.
refused "is in $tree/dist, which this script writes" --app-dir "$tree/dist" $ok
refused "holds $tree/dist, which this script writes" --app-dir "$tree" $ok
mkdir -p "$tree/build/package/x"
refused "is in $tree/build/package, which this script writes" --app-dir "$tree/build/package/x" $ok

# The upgrade code follows what names the product: a renamed company keeps
# it, another --product gets another, and it is printed to be pinned.
upgrade_code() {
  package "$@" || fail "package.sh $*: $(cat "$work/package.err")"
  sed -n 's/^Upgrade code: {\([^}]*\)}.*/\1/p' "$work/package.out"
}
first=$(upgrade_code --app-dir "$app" $ok --product "Example App" --company "Example Ltd")
grep -q "pin it with --upgrade-code {$first}" "$work/package.out" || fail "the upgrade code is not printed to pin"
[ "$(upgrade_code --app-dir "$app" $ok --product "Example App" --company "Example Limited")" = "$first" ] ||
  fail "another --company gave another upgrade code"
[ "$(upgrade_code --app-dir "$app" $ok --product "Example Editor")" != "$first" ] ||
  fail "another --product gave the same upgrade code"
[ "$(upgrade_code --app-dir "$app" $ok --upgrade-code "{$first}" --product Other)" = "$first" ] ||
  fail "--upgrade-code in braces was not taken"
rm -f "$tree/dist/"*
# The same association twice is one.
package --app-dir "$app" $ok --associate .plan=Plan --associate .PLAN=Plan ||
  fail "the same --associate twice: refused: $(cat "$work/package.err")"
[ "$(msiinfo export "$tree/dist/Example-1.0.0.msi" Registry | grep -c 'Classes.Example.plan	')" -eq 1 ] ||
  fail "the same --associate twice: not one association"
rm -f "$tree/dist/"*
# A relative link that leaves the folder is packed as what it points to.
rm -rf "$work/linked" && mkdir -p "$work/linked"
cp -R "$app" "$work/linked/app"
printf 'shared' >"$work/linked/shared.jar"
ln -s ../../shared.jar "$work/linked/app/lib/shared.jar"
package --app-dir "$work/linked/app" $ok || fail "a link leaving the folder: refused: $(cat "$work/package.err")"
msiinfo export "$tree/dist/Example-1.0.0.msi" File | grep -q 'shared.jar' || fail "the linked JAR is not packed"
rm -f "$tree/dist/"*
# Two builds of one --name at once each pack their own folder.
rm -rf "$work/twin"
cp -R "$app" "$work/twin"
printf 'twin' >"$work/twin/twin-only.txt"
"$tree/scripts/package.sh" --app-dir "$work/twin" --name Example --version 3.0.0 >"$work/twin.out" 2>&1 &
twin=$!
package --app-dir "$app" $ok || fail "a build beside another: $(cat "$work/package.err")"
wait "$twin" || fail "the other build: $(cat "$work/twin.out")"
msiinfo export "$tree/dist/Example-1.0.0.msi" File | grep -q 'twin-only' && fail "a build packed another's file"
msiinfo export "$tree/dist/Example-3.0.0.msi" File | grep -q 'twin-only' || fail "a build lost its own file"
rm -f "$tree/dist/"*

# A path longer than 260 characters once installed is built, with a warning.
rm -rf "$work/deep" && cp -R "$app" "$work/deep"
deep=$(printf 'd%.0s' $(seq 1 120))
mkdir -p "$work/deep/$deep/$deep"
printf 'x' >"$work/deep/$deep/$deep/file.txt"
package --app-dir "$work/deep" $ok || fail "a deep path: refused: $(cat "$work/package.err")"
grep -q "warning: installed, '.*\\file.txt' is 3[0-9][0-9] characters long" "$work/package.err" ||
  fail "a deep path: no warning: $(cat "$work/package.err")"
rm -f "$tree/dist/"*

required='min-java-version=1.6\r\nwait-for-exit=1\r\nask-for-java-location=0\r\nallow-newer-version=1\r\n'
# package.sh takes such a file as the launcher does: an association with
# pass-arguments=1 behind a signature and a commented section line.
cp -R "$app" "$work/signature"
printf '\357\273\277[tavrin] ; the application\r\njar-file-name=lib\\app.jar\r\n%b[other]\r\npass-arguments=0\r\n[TAVRIN]\r\npass-arguments = 1\r\n' \
  "$required" >"$work/signature/tavrin.ini"
package --app-dir "$work/signature" $ok --associate .plan=Plan ||
  fail "a signature and a comment after [tavrin]: refused: $(cat "$work/package.err")"
rm -f "$tree/dist/"*
# ... and a key in another section as not there.
cp -R "$app" "$work/other-section"
printf '[tavrin]\r\njar-file-name=lib\\app.jar\r\n%b[other]\r\npass-arguments=1\r\n' \
  "$required" >"$work/other-section/tavrin.ini"
refused "need pass-arguments=1" --app-dir "$work/other-section" $ok --associate .plan=Plan

# A per-machine package whose tavrin.ini has no user-settings is built,
# with a warning.
cp -R "$app" "$work/no-user-settings"
sed -i '/^user-settings=/d' "$work/no-user-settings/tavrin.ini"
package --app-dir "$work/no-user-settings" $ok --per-machine || fail "per machine without user-settings: refused"
grep -q 'warning: a per-machine install without user-settings' "$work/package.err" ||
  fail "per machine without user-settings: no warning"
# The same inputs give the same package code (wixl's time stamps aside).
code() { msiinfo suminfo "$tree/dist/Example-1.0.0.msi" | sed -n 's/^Revision number (UUID): //p'; }
first_code=$(code)
package --app-dir "$work/no-user-settings" $ok --per-machine
[ "$(code)" = "$first_code" ] && [ -n "$first_code" ] || fail "the same inputs gave another package code"
rm -f "$tree/dist/"*

# --- Signing: which step failed, said; a time-stamp server that never
# answers, timed out; an expired certificate, a warning. ---
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=tavrin package test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
printf 'secret' >"$work/password.txt"
printf 'wrong' >"$work/wrong.txt"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.p12" \
  -passout file:"$work/password.txt" >/dev/null 2>&1
package --app-dir "$app" $ok || fail "unsigned: $(cat "$work/package.err")"
# shellcheck disable=SC2086
refused "the launcher could not be signed with '$work/sign.p12' (is the password right?)" \
  --app-dir "$app" $ok --sign-pkcs12 "$work/sign.p12" --sign-password-file "$work/wrong.txt"
grep -q 'cannot stat' "$work/package.err" && fail "a failed signing said: $(cat "$work/package.err")"
python3 -c '
import socket, sys, time
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
print(server.getsockname()[1], flush=True)
sys.stdout.close()
connection = server.accept()
time.sleep(60)
' >"$work/port.txt" &
silent=$!
while [ ! -s "$work/port.txt" ]; do sleep 0.1; done
# shellcheck disable=SC2086
refused "the time-stamp server 'http://127.0.0.1:$(cat "$work/port.txt")/' did not answer within 2 seconds" \
  --app-dir "$app" $ok --sign-pkcs12 "$work/sign.p12" --sign-password-file "$work/password.txt" \
  --timestamp-rfc3161 "http://127.0.0.1:$(cat "$work/port.txt")/" --timestamp-timeout 2
kill "$silent" 2>/dev/null || true
mkdir -p "$work/ca"
: >"$work/ca/index.txt"
echo 01 >"$work/ca/serial"
printf '[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nserial = serial\nnew_certs_dir = .\ndefault_md = sha256\npolicy = p\n[p]\ncommonName = supplied\n' >"$work/ca/ca.cnf"
(cd "$work/ca" && openssl req -new -newkey rsa:2048 -nodes -subj "/CN=expired" -keyout key.pem -out request.csr &&
  openssl ca -batch -config ca.cnf -selfsign -keyfile key.pem -in request.csr \
    -startdate 20200101000000Z -enddate 20200102000000Z -out cert.pem &&
  openssl pkcs12 -export -inkey key.pem -in cert.pem -out expired.p12 -passout file:"$work/password.txt") \
  >/dev/null 2>&1 || fail "no expired certificate to test with"
package --app-dir "$app" $ok --sign-pkcs12 "$work/ca/expired.p12" --sign-password-file "$work/password.txt" ||
  fail "an expired certificate: refused: $(cat "$work/package.err")"
grep -q "warning: the certificate in '$work/ca/expired.p12' has expired" "$work/package.err" ||
  fail "an expired certificate: no warning: $(cat "$work/package.err")"
rm -f "$tree/dist/"*

# --- Under Wine, in a prefix of the test's own; its desktop in a home of
# the test's own. ---
use_own_prefix
user_programs="$drive/users/$(id -un)/AppData/Local/Programs/Example App"
user_menu="$drive/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
msiexec() { wine msiexec "$@" </dev/null >/dev/null 2>&1; }
key() { wine reg query "$1" /reg:64 2>/dev/null | tr -d '\r'; }
has_key() { wine reg query "$1" /reg:64 >/dev/null 2>&1; }
entries() {
  wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    grep -c 'ProductName.*Example App' || true
}

build() { package --app-dir "$app" --name Example --product "Example App" --company "Example Ltd" "$@" ||
  fail "package.sh $*: $(cat "$work/package.err")"; }
make_app 1
# A description with what wixl and Windows Installer would expand; .csv is
# the user's other program's.
plan='Example plan [draft] $(env.HOME)'
build --version 1.0.0 --associate .plan="$plan" --associate .csv=Table --url-protocol exampleapp --desktop-shortcut \
  --launcher "Viewer=Example Viewer" --tool example-tool
cp "$tree/dist/Example-1.0.0.msi" "$work/"
# 1.1.0 no longer ships lib\old.jar, and its tavrin.ini is new.
rm "$app/lib/old.jar"
printf 'start-arguments=1.1\r\n' >>"$app/tavrin.ini"
build --version 1.1.0 --associate .plan="$plan" --associate .csv=Table --url-protocol exampleapp --desktop-shortcut \
  --launcher "Viewer=Example Viewer" --tool example-tool
# Another product of the same --name.
package --app-dir "$app" --name Example --product "Example Editor" --version 1.0.0 ||
  fail "Example Editor: $(cat "$work/package.err")"
mv "$tree/dist/Example-1.0.0.msi" "$work/Editor-1.0.0.msi"

# --- Per user, without elevation. ---
wine reg add 'HKCU\Software\Classes\.csv' /ve /d Other.csv /f >/dev/null 2>&1
msiexec /i "$work/Example-1.0.0.msi" /qn || fail "the per-user package did not install"
for file in Example.exe tavrin.ini lib/app.jar lib/old.jar runtime/bin/java.exe runtime/bin/fake-java.cfg; do
  [ -f "$user_programs/$file" ] || fail "per user: $file is not in %LOCALAPPDATA%\\Programs\\Example App"
done
[ -d "$user_programs/data/empty" ] || fail "per user: the empty folder data\\empty is not installed"
key 'HKCU\Software\Classes\.csv' | grep -q 'REG_SZ *Other.csv$' || fail "the install took .csv from its program"
key 'HKCU\Software\Classes\.csv\OpenWithProgids' | grep -q 'Example.csv' ||
  fail ".csv has not the application in its Open-with list"
[ -f "$user_menu/Example App.lnk" ] || fail "no Start-menu shortcut"
[ -f "$HOME/Desktop/Example App.lnk" ] || fail "no desktop shortcut"
command=$(key 'HKCU\Software\Classes\Example.plan\shell\open\command' | sed -n 's/^ *(Default) *REG_SZ *//p')
expected="\"C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App\\Example.exe\" \"%1\""
[ "$command" = "$expected" ] || fail "the .plan open command is '$command', not '$expected'"
key 'HKCU\Software\Classes\.plan' | grep -q 'REG_SZ *Example.plan$' || fail ".plan is not Example.plan"
[ "$(key 'HKCU\Software\Classes\Example.plan' | sed -n 's/^ *(Default) *REG_SZ *//p')" = "$plan" ] ||
  fail "Example.plan's description is '$(key 'HKCU\Software\Classes\Example.plan')', not '$plan'"
key 'HKCU\Software\Classes\exampleapp' | grep -q 'URL Protocol' || fail "exampleapp is no URL protocol"
[ "$(key 'HKCU\Software\Classes\exampleapp\shell\open\command' | sed -n 's/^ *(Default) *REG_SZ *//p')" = "$expected" ] ||
  fail "the exampleapp open command is not the launcher's"

# A document opened as the association's command opens it: the application
# gets its path.
mkdir -p "$drive/records" "$drive/docs"
printf 'plan' >"$drive/docs/plan 2026.plan"
wine "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App\\Example.exe" \
  'C:\docs\plan 2026.plan' </dev/null >/dev/null 2>&1 || fail "the installed launcher ended with $?"
grep -q '^arg=C:\\docs\\plan 2026.plan' "$drive/records/runs.txt" 2>/dev/null ||
  fail "the application did not get the document: $(cat "$drive/records/runs.txt" 2>/dev/null)"
# The other programs: the viewer's shortcut, and the tool on the user's
# PATH, which a new process finds by its name.
[ -f "$user_menu/Example Viewer.lnk" ] || fail "no Start-menu shortcut for Viewer.exe"
user_install="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App\\"
on_path() { # KEY: how often the install folder is on that PATH
  key "$1" | sed -n 's/^ *PATH *REG_[A-Z_]*SZ *//p' | tr ';' '\n' | grep -cxF "$2" || true
}
[ "$(on_path 'HKCU\Environment' "$user_install")" -eq 1 ] ||
  fail "the install folder is not on the user's PATH: $(key 'HKCU\Environment')"
(cd "$drive/docs" && wine cmd /c 'example-tool in.csv' </dev/null >"$work/tool.out" 2>&1) ||
  fail "the tool did not run from a new command prompt: $(cat "$work/tool.out")"
grep -q '^arg=--batch$' "$drive/records/runs.txt" && grep -q '^arg=in.csv$' "$drive/records/runs.txt" ||
  fail "the tool's application did not get its arguments: $(cat "$drive/records/runs.txt")"
# The user's own settings, which an uninstall keeps.
mkdir -p "$drive/users/$(id -un)/AppData/Local/Example App"
printf '[tavrin]\r\njava-options=-Xmx4g\r\n' >"$drive/users/$(id -un)/AppData/Local/Example App/tavrin.ini"

# --- Upgrades: in place, one entry; the same version again, still one; an
# older one refused. ---
[ "$(entries)" -eq 1 ] || fail "1.0.0: $(entries) entries"
# The user's own line in the installed tavrin.ini: the upgrade installs the
# author's new file and keeps the user's beside it.
printf '; the user was here\r\n' >>"$user_programs/tavrin.ini"
cp "$user_programs/tavrin.ini" "$work/users.ini"
msiexec /i "$tree/dist/Example-1.1.0.msi" /qn || fail "1.1.0 did not install over 1.0.0"
[ "$(entries)" -eq 1 ] || fail "after the upgrade: $(entries) entries"
[ "$(on_path 'HKCU\Environment' "$user_install")" -eq 1 ] ||
  fail "after the upgrade, the install folder is not on the user's PATH once: $(key 'HKCU\Environment')"
cmp -s "$user_programs/tavrin.ini" "$app/tavrin.ini" || fail "the upgrade did not install the new tavrin.ini"
cmp -s "$user_programs/tavrin.ini.before-upgrade" "$work/users.ini" ||
  fail "the upgrade did not keep the user's tavrin.ini as tavrin.ini.before-upgrade"
[ ! -e "$user_programs/lib/old.jar" ] || fail "the upgrade left lib\\old.jar"
[ -f "$user_programs/lib/app.jar" ] || fail "the upgrade lost lib\\app.jar"
msiexec /i "$tree/dist/Example-1.1.0.msi" /qn || fail "1.1.0 twice failed"
[ "$(entries)" -eq 1 ] || fail "1.1.0 twice: $(entries) entries"
if msiexec /i "$work/Example-1.0.0.msi" /qn; then
  fail "1.0.0 installed over 1.1.0"
fi
[ "$(entries)" -eq 1 ] && [ ! -e "$user_programs/lib/old.jar" ] && [ -f "$user_programs/Example.exe" ] ||
  fail "the refused downgrade changed the installed 1.1.0"

# --- Uninstall: nothing left but the user's own settings. ---
wine "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App\\Example.exe" \
  </dev/null >/dev/null 2>&1 || true # its redirection files and a rewritten tavrin.ini
[ -f "$user_programs/java.jar.run.output.file" ] || fail "the launcher left no redirection files to test"
[ -f "$user_programs/example.log" ] || fail "the launcher left no log-file to test"
# As a start while an earlier application ran leaves them.
for suffix in output error input; do
  cp "$user_programs/java.jar.run.$suffix.file" "$user_programs/java.jar.run.16.$suffix.file"
done
msiexec /x "$tree/dist/Example-1.1.0.msi" /qn || fail "the uninstall failed"
[ ! -e "$user_programs" ] || fail "the uninstall left $(ls -A "$user_programs" | tr '\n' ' ')"
[ ! -e "$user_menu/Example App.lnk" ] && [ ! -e "$user_menu/Example Viewer.lnk" ] &&
  [ ! -e "$HOME/Desktop/Example App.lnk" ] || fail "the uninstall left a shortcut"
[ "$(on_path 'HKCU\Environment' "$user_install")" -eq 0 ] ||
  fail "the uninstall left the install folder on the user's PATH: $(key 'HKCU\Environment')"
for class in .plan Example.plan exampleapp; do
  ! has_key "HKCU\Software\Classes\$class" || fail "the uninstall left the key of $class"
done
[ "$(entries)" -eq 0 ] || fail "the uninstall left an entry"
key 'HKCU\Software\Classes\.csv' | grep -q 'REG_SZ *Other.csv$' || fail "the uninstall took .csv from its program"
[ -f "$drive/users/$(id -un)/AppData/Local/Example App/tavrin.ini" ] ||
  fail "the uninstall took the user's own settings"

# --- Two products with one --name install side by side, and each leaves
# the other when it goes. ---
editor_programs="$drive/users/$(id -un)/AppData/Local/Programs/Example Editor"
msiexec /i "$tree/dist/Example-1.1.0.msi" /qn || fail "Example App did not install again"
msiexec /i "$work/Editor-1.0.0.msi" /qn || fail "Example Editor did not install"
[ -f "$editor_programs/Example.exe" ] && [ -f "$user_programs/Example.exe" ] ||
  fail "two products with one --name are not both installed"
msiexec /x "$tree/dist/Example-1.1.0.msi" /qn || fail "Example App did not uninstall"
[ -f "$editor_programs/Example.exe" ] || fail "removing Example App removed Example Editor's files"
msiexec /x "$work/Editor-1.0.0.msi" /qn || fail "Example Editor did not uninstall"
[ ! -e "$editor_programs" ] || fail "Example Editor's uninstall left its folder"

# --- Per machine: Program Files, the machine's classes in the 64-bit view,
# the Start menu of all users; signed, the launcher inside too. ---
build --version 2.0.0 --per-machine --associate .plan="Example plan" --launcher Viewer --tool example-tool \
  --sign-pkcs12 "$work/sign.p12" --sign-password-file "$work/password.txt"
grep -q 'warning: a per-machine install without user-settings' "$work/package.err" &&
  fail "warned about user-settings, which tavrin.ini has"
[ "$(cmp "$app/Example.exe" "$tavrin" && echo same)" = same ] || fail "signing changed the author's launcher"
osslsigncode verify -CAfile "$work/cert.pem" -in "$tree/dist/Example-2.0.0.msi" >/dev/null 2>&1 ||
  fail "the signed package does not verify"
mkdir -p "$work/extracted"
(cd "$work/extracted" && msiextract "$tree/dist/Example-2.0.0.msi" >/dev/null 2>&1)
for program in Example Viewer example-tool; do
  signed_exe=$(find "$work/extracted" -name "$program.exe" | head -n 1)
  [ -n "$signed_exe" ] && osslsigncode verify -CAfile "$work/cert.pem" -in "$signed_exe" >/dev/null 2>&1 ||
    fail "$program.exe inside the package does not verify"
done
machine_programs="$drive/Program Files/Example App"
msiexec /i "$tree/dist/Example-2.0.0.msi" /qn || fail "the per-machine package did not install"
[ -f "$machine_programs/Example.exe" ] && [ -f "$machine_programs/lib/app.jar" ] ||
  fail "per machine: the files are not in Program Files"
key 'HKLM\Software\Classes\Example.plan\shell\open\command' | grep -q 'C:\\Program Files\\Example App\\Example.exe' ||
  fail "per machine: no open command in the machine's classes"
! wine reg query 'HKLM\Software\Wow6432Node\Classes\Example.plan' >/dev/null 2>&1 ||
  fail "per machine: the classes went to Wow6432Node"
# The package asks for the Start menu of all users (ALLUSERS=1); Wine's
# msiexec puts ProgramMenuFolder in the installing user's all the same.
machine_shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Example App.lnk"
[ -f "$machine_shortcut" ] || machine_shortcut="$user_menu/Example App.lnk"
[ -f "$machine_shortcut" ] || fail "per machine: no Start-menu shortcut"
# Viewer.exe's shortcut is named by its version block.
viewer_shortcut="$(dirname "$machine_shortcut")/Java application launcher.lnk"
[ -f "$viewer_shortcut" ] || fail "per machine: no shortcut named by Viewer.exe's description"
machine_environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
[ "$(on_path "$machine_environment" 'C:\Program Files\Example App\')" -eq 1 ] ||
  fail "per machine: the install folder is not on the machine's PATH: $(key "$machine_environment")"
msiinfo export "$tree/dist/Example-2.0.0.msi" Property | grep -q '^ALLUSERS	1' ||
  fail "per machine: ALLUSERS is not 1"
msiexec /x "$tree/dist/Example-2.0.0.msi" /qn || fail "the per-machine uninstall failed"
[ ! -e "$machine_programs" ] || fail "the per-machine uninstall left the install folder"
[ ! -e "$machine_shortcut" ] && [ ! -e "$viewer_shortcut" ] || fail "the per-machine uninstall left a shortcut"
[ "$(on_path "$machine_environment" 'C:\Program Files\Example App\')" -eq 0 ] ||
  fail "the per-machine uninstall left the install folder on the machine's PATH"
! has_key 'HKLM\Software\Classes\Example.plan' || fail "the per-machine uninstall left a key"

# --- A service: installed to start with Windows, started at the end of the
# install, stopped with Ctrl+C, and gone with the uninstall, its log too.
# The application runs until Ctrl+C, which it notes. Under Wine without a
# display, a prefix's first service start can fail while Wine sets up the
# services' desktop: the test then starts it itself. Wine starts an
# automatic service again whenever its service manager starts anew, so the
# Wine server stays up from the install to the uninstall. ---
wineserver -k 2>/dev/null || true
wineserver -p
mkdir -p "$drive/records"
server=$work/server
rm -rf "$server" && cp -R "$app" "$server"
sed -i '/^wait-for-exit=/d; /^user-settings=/d; /^log-file=/d' "$server/tavrin.ini"
printf 'service-name=Example Server\r\n' >>"$server/tavrin.ini"
printf 'FAKE_JAVA_RECORD=C:\\records\\server.txt\r\nFAKE_JAVA_RUN_MS=60000\r\nFAKE_JAVA_CTRL_C=C:\\records\\ctrl-c.txt\r\n' \
  >"$server/runtime/bin/fake-java.cfg"
package --app-dir "$server" --name Example --product "Example Server" --version 1.0.0 --per-machine \
  --service --service-description "Serves Example plans" ||
  fail "the service package: $(cat "$work/package.err")"
service_programs="$drive/Program Files/Example Server"
msiexec /i "$tree/dist/Example-1.0.0.msi" /qn /l*v 'C:\service-install.log' ||
  fail "the service package did not install"
grep -aq 'Action ended .*: StartTheService. Return value 1' "$drive/service-install.log" ||
  fail "the install did not start the service"
service_query() { wine sc "$1" "Example Server" 2>/dev/null | tr -d '\r'; }
service_runs() {
  service_query query | grep -q 'STATE *: *4 *RUNNING' && grep -q '^arg=-jar$' "$drive/records/server.txt" 2>/dev/null
}
for i in $(seq 30); do
  service_runs && break
  [ $((i % 10)) -ne 0 ] || wine sc start "Example Server" >/dev/null 2>&1 || true
  sleep 1
done
service_runs || fail "the service does not run the application: $(service_query query)"
service_key='HKLM\System\CurrentControlSet\Services\Example Server'
key "$service_key" | grep -q 'Start *REG_DWORD *0x2$' || fail "the service does not start with Windows: $(key "$service_key")"
key "$service_key" | grep -q 'ImagePath *REG_[A-Z_]*SZ *"*C:.Program Files.Example Server.Example.exe"*$' ||
  fail "the service is not the launcher: $(key "$service_key")"
key "$service_key" | grep -q 'ObjectName *REG_SZ *LocalSystem$' || fail "the service does not run as LocalSystem"
key "$service_key" | grep -q 'Description *REG_SZ *Serves Example plans$' || fail "the service has not its description"
wine sc stop "Example Server" >/dev/null 2>&1 || fail "the service did not take the stop"
for i in $(seq 100); do
  [ ! -f "$drive/records/ctrl-c.txt" ] || break
  sleep 0.1
done
[ -f "$drive/records/ctrl-c.txt" ] || fail "stopping the service sent the application no Ctrl+C"
# The log is written as it goes: the stop's line comes as the stop ends.
for i in $(seq 100); do
  ! grep -q 'service: stop requested' "$service_programs/Example.service.log" 2>/dev/null || break
  sleep 0.1
done
grep -q 'service: stop requested; the application ended, exit code 130' "$service_programs/Example.service.log" 2>/dev/null ||
  fail "the service's log beside the launcher does not tell the stop"
# An upgrade while the service runs: the package's own step stops it and
# waits, and the new version's service runs; an uninstall while it runs
# leaves no service and no file, its output log and its log included.
applications() { grep -c '^arg=-jar$' "$drive/records/server.txt"; }
wine sc start "Example Server" >/dev/null 2>&1 || true
for i in $(seq 30); do
  service_runs && [ "$(applications)" -ge 2 ] && break
  sleep 1
done
before=$(applications)
rm -f "$drive/records/ctrl-c.txt"
package --app-dir "$server" --name Example --product "Example Server" --version 2.0.0 --per-machine \
  --service --service-description "Serves Example plans" ||
  fail "the service package's next version: $(cat "$work/package.err")"
msiexec /i "$tree/dist/Example-2.0.0.msi" /qn /l*v 'C:\service-upgrade.log' ||
  fail "the upgrade of a running service failed"
# The old version's uninstall, which the upgrade runs (and whose steps
# Wine's log leaves out), stopped its application with Ctrl+C.
[ -f "$drive/records/ctrl-c.txt" ] || fail "the upgrade did not stop the running application first"
for i in $(seq 30); do
  service_runs && [ "$(applications)" -gt "$before" ] && break
  sleep 1
done
service_runs && [ "$(applications)" -gt "$before" ] ||
  fail "after the upgrade the new version's service does not run: $(service_query query)"
[ -s "$service_programs/Example.out.log" ] || fail "the service's application wrote no Example.out.log"
# Nobody edited its tavrin.ini (the launcher wrote its java-location):
# nothing is kept aside.
cmp -s "$service_programs/tavrin.ini" "$server/tavrin.ini" &&
  [ ! -e "$service_programs/tavrin.ini.before-upgrade" ] ||
  fail "an upgrade over an unedited tavrin.ini kept it aside, or changed it: $(ls -A "$service_programs" | tr "\n" " ")"
msiexec /x "$tree/dist/Example-2.0.0.msi" /qn || fail "the service package did not uninstall"
! wine sc query "Example Server" >/dev/null 2>&1 || fail "the uninstall left the service"
[ ! -e "$service_programs" ] || fail "the service's uninstall left $(ls -A "$service_programs" | tr '\n' ' ')"

# --- Names as given, through every table: a file Main$1.class, a product
# with $ and brackets, a service My$Svc[1] whose description holds
# $5 [daily], and a log-file outside code page 1252, which the launcher
# writes and the uninstall (with a warning at the build) leaves. ---
odd=$work/odd
rm -rf "$odd" && cp -R "$server" "$odd"
mkdir -p "$odd/lib/classes/com" && printf 'x' >"$odd/lib/classes/com/Main\$1.class"
sed -i 's/^service-name=.*/service-name=My$Svc[1]/' "$odd/tavrin.ini"
printf 'log-file=журнал.log\r\n' >>"$odd/tavrin.ini"
package --app-dir "$odd" --name Example --product 'Odd $Server [1]' --version 1.0.0 --per-machine \
  --service --service-description 'Costs $5 [daily]' || fail "the odd names: $(cat "$work/package.err")"
grep -q "log-file 'журнал.log' has characters outside Windows code page 1252" "$work/package.err" ||
  fail "no warning for a log-file the uninstall cannot name: $(cat "$work/package.err")"
msiexec /i "$tree/dist/Example-1.0.0.msi" /qn || fail "the odd names' package did not install"
odd_programs="$drive/Program Files/Odd \$Server [1]"
[ -f "$odd_programs/lib/classes/com/Main\$1.class" ] || fail "Main\$1.class was not installed as named"
for i in $(seq 30); do
  wine sc query 'My$Svc[1]' 2>/dev/null | grep -q 'RUNNING' && [ -f "$odd_programs/журнал.log" ] && break
  [ $((i % 10)) -ne 0 ] || wine sc start 'My$Svc[1]' >/dev/null 2>&1 || true
  sleep 1
done
wine sc query 'My$Svc[1]' 2>/dev/null | grep -q 'RUNNING' || fail "the service My\$Svc[1] does not run"
key 'HKLM\System\CurrentControlSet\Services\My$Svc[1]' | grep -q 'Description *REG_SZ *Costs \$5 \[daily\]$' ||
  fail "the service's description: $(key 'HKLM\System\CurrentControlSet\Services\My$Svc[1]')"
[ -f "$odd_programs/журнал.log" ] || fail "the launcher wrote no журнал.log"
msiexec /x "$tree/dist/Example-1.0.0.msi" /qn || fail "the odd names' package did not uninstall"
! wine sc query 'My$Svc[1]' >/dev/null 2>&1 || fail "the uninstall left the service My\$Svc[1]"
[ "$(ls -A "$odd_programs" 2>/dev/null)" = "журнал.log" ] ||
  fail "the odd names' uninstall left $(ls -A "$odd_programs" | tr '\n' ' ')"
wineserver -k 2>/dev/null || true

wineserver -k 2>/dev/null || true
[ $failures -eq 0 ] || exit 1
echo "all checks passed"
