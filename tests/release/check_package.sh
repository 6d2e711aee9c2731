#!/bin/sh
# Checks scripts/package.sh in a copy of the scripts: bad input is refused
# with a sentence and nothing in dist/; its packages install under Wine's
# msiexec in a prefix of this test's own, per user and per machine, with the
# files, shortcuts and keys they promise, hand a document to the application,
# upgrade in place, refuse a downgrade, uninstall without a trace (keeping
# the user's own settings), and verify when signed.
#   check_package.sh SOURCE_DIR WORK_DIR TAVRIN.EXE FAKE_JAVA.EXE
set -eu
source_dir=$1
work=$2
tavrin=$3
fake_java=$4
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

tree=$work/tree
mkdir -p "$tree/scripts" "$tree/dist"
cp "$source_dir/scripts/package.sh" "$source_dir/scripts/input_checks.sh" \
  "$source_dir/scripts/settings_reader.sh" "$tree/scripts/"
package() { "$tree/scripts/package.sh" "$@" >"$work/package.out" 2>"$work/package.err"; }

# The author's folder: the launcher, tavrin.ini, a JAR, and a bundled runtime
# (the stand-in, which records every run outside the install folder).
app=$work/app
make_app() {
  rm -rf "$app"
  mkdir -p "$app/lib" "$app/runtime/bin"
  cp "$tavrin" "$app/Example.exe"
  printf 'PK' >"$app/lib/app.jar"
  printf 'PK' >"$app/lib/old.jar"
  cp "$fake_java" "$app/runtime/bin/java.exe"
  printf 'FAKE_JAVA_RECORD=C:\\records\\runs.txt\r\n' >"$app/runtime/bin/fake-java.cfg"
  printf '[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\njava-location=runtime\\bin\r\nwait-for-exit=1\r\nask-for-java-location=0\r\nallow-newer-version=1\r\npass-arguments=%s\r\nuser-settings=Example App\r\n' \
    "$1" >"$app/tavrin.ini"
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
  refused "is not a GUID" --app-dir "$app" $ok --upgrade-code "{01234567-89AB-CDEF-0123-456789ABCDEF}"
  refused "need pass-arguments=1" --app-dir "$work/no-pass" $ok --associate .plan=Plan
  refused "need pass-arguments=1" --app-dir "$work/no-pass" $ok --url-protocol exampleapp
  refused "go together" --app-dir "$app" $ok --sign-pkcs12 "$work/none.p12"
  refused "is not a readable file" --app-dir "$app" $ok --sign-pkcs12 "$work/none.p12" \
    --sign-password-file "$work/none.txt"
}

# tavrin.ini as the launcher reads it: each row a file (printf's escapes),
# a key and the value the launcher takes.
. "$tree/scripts/settings_reader.sh"
while IFS='|' read -r text key expected; do
  # shellcheck disable=SC2059
  printf "$text" >"$work/reader.ini"
  got=$(settings_value "$work/reader.ini" "$key")
  [ "$got" = "$expected" ] || fail "settings_value of '$text' $key: '$got', not '$expected'"
done <<'ROWS'
\357\273\277[tavrin]\r\npass-arguments=1\r\n|pass-arguments|1
[tavrin] ; a comment after the name\npass-arguments = 1 \n|pass-arguments|1
[ TaVrIn ]\rpass-arguments=0\rpass-arguments=1\r|pass-arguments|1
[other]\npass-arguments=1\n[tavrin]\n|pass-arguments|
[tavrin]\n; pass-arguments=1\n  # pass-arguments=1\n  pass-arguments\t=\t0\t\n|pass-arguments|0
[tavrin]\nPass-Arguments=1\n|pass-arguments|
pass-arguments=1\n[tavrin]\n|pass-arguments|
[tavrin]\n[not a section\npass-arguments=1\n|pass-arguments|1
[tavrin]\n=1\npass-arguments=1\n[tavrin.messages]\npass-arguments=0\n|pass-arguments|1
[tavrin]\nuser-settings=Example App\r\n|user-settings|Example App
ROWS
# package.sh takes such a file as the launcher does: an association with
# pass-arguments=1 behind a signature and a commented section line.
cp -R "$app" "$work/signature"
printf '\357\273\277[tavrin] ; the application\r\njar-file-name=lib\\app.jar\r\n[other]\r\npass-arguments=0\r\n[TAVRIN]\r\npass-arguments = 1\r\n' \
  >"$work/signature/tavrin.ini"
package --app-dir "$work/signature" $ok --associate .plan=Plan ||
  fail "a signature and a comment after [tavrin]: refused: $(cat "$work/package.err")"
rm -f "$tree/dist/"*
# ... and a key in another section as not there.
cp -R "$app" "$work/other-section"
printf '[tavrin]\r\njar-file-name=lib\\app.jar\r\n[other]\r\npass-arguments=1\r\n' \
  >"$work/other-section/tavrin.ini"
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

# --- Under Wine, in a prefix of the test's own; its desktop in a home of
# the test's own. ---
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64 HOME="$work/home"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
export LC_ALL="${LC_ALL:-C.UTF-8}"
unset DISPLAY WINEDLLPATH
mkdir -p "$HOME/Desktop"
wineboot -i >/dev/null 2>&1 </dev/null
drive=$WINEPREFIX/drive_c
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
build --version 1.0.0 --associate .plan="Example plan" --url-protocol exampleapp --desktop-shortcut
cp "$tree/dist/Example-1.0.0.msi" "$work/"
# 1.1.0 no longer ships lib\old.jar.
rm "$app/lib/old.jar"
build --version 1.1.0 --associate .plan="Example plan" --url-protocol exampleapp --desktop-shortcut

# --- Per user, without elevation. ---
msiexec /i "$work/Example-1.0.0.msi" /qn || fail "the per-user package did not install"
for file in Example.exe tavrin.ini lib/app.jar lib/old.jar runtime/bin/java.exe runtime/bin/fake-java.cfg; do
  [ -f "$user_programs/$file" ] || fail "per user: $file is not in %LOCALAPPDATA%\\Programs\\Example App"
done
[ -f "$user_menu/Example App.lnk" ] || fail "no Start-menu shortcut"
[ -f "$HOME/Desktop/Example App.lnk" ] || fail "no desktop shortcut"
command=$(key 'HKCU\Software\Classes\Example.plan\shell\open\command' | sed -n 's/^ *(Default) *REG_SZ *//p')
expected="\"C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App\\Example.exe\" \"%1\""
[ "$command" = "$expected" ] || fail "the .plan open command is '$command', not '$expected'"
key 'HKCU\Software\Classes\.plan' | grep -q 'REG_SZ *Example.plan$' || fail ".plan is not Example.plan"
key 'HKCU\Software\Classes\Example.plan' | grep -q 'REG_SZ *Example plan$' ||
  fail "Example.plan has not its description"
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
# The user's own settings, which an uninstall keeps.
mkdir -p "$drive/users/$(id -un)/AppData/Local/Example App"
printf '[tavrin]\r\njava-options=-Xmx4g\r\n' >"$drive/users/$(id -un)/AppData/Local/Example App/tavrin.ini"

# --- Upgrades: in place, one entry; the same version again, still one; an
# older one refused. ---
[ "$(entries)" -eq 1 ] || fail "1.0.0: $(entries) entries"
msiexec /i "$tree/dist/Example-1.1.0.msi" /qn || fail "1.1.0 did not install over 1.0.0"
[ "$(entries)" -eq 1 ] || fail "after the upgrade: $(entries) entries"
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
# As a start while an earlier application ran leaves them.
for suffix in output error input; do
  cp "$user_programs/java.jar.run.$suffix.file" "$user_programs/java.jar.run.16.$suffix.file"
done
msiexec /x "$tree/dist/Example-1.1.0.msi" /qn || fail "the uninstall failed"
[ ! -e "$user_programs" ] || fail "the uninstall left $(ls -A "$user_programs" | tr '\n' ' ')"
[ ! -e "$user_menu/Example App.lnk" ] && [ ! -e "$HOME/Desktop/Example App.lnk" ] ||
  fail "the uninstall left a shortcut"
for class in .plan Example.plan exampleapp; do
  ! has_key "HKCU\Software\Classes\$class" || fail "the uninstall left the key of $class"
done
[ "$(entries)" -eq 0 ] || fail "the uninstall left an entry"
[ -f "$drive/users/$(id -un)/AppData/Local/Example App/tavrin.ini" ] ||
  fail "the uninstall took the user's own settings"

# --- Per machine: Program Files, the machine's classes in the 64-bit view,
# the Start menu of all users; signed, the launcher inside too. ---
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=tavrin package test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
printf 'secret' >"$work/password.txt"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.p12" \
  -passout file:"$work/password.txt" >/dev/null 2>&1
build --version 2.0.0 --per-machine --associate .plan="Example plan" \
  --sign-pkcs12 "$work/sign.p12" --sign-password-file "$work/password.txt"
grep -q 'warning: a per-machine install without user-settings' "$work/package.err" &&
  fail "warned about user-settings, which tavrin.ini has"
[ "$(cmp "$app/Example.exe" "$tavrin" && echo same)" = same ] || fail "signing changed the author's launcher"
osslsigncode verify -CAfile "$work/cert.pem" -in "$tree/dist/Example-2.0.0.msi" >/dev/null 2>&1 ||
  fail "the signed package does not verify"
mkdir -p "$work/extracted"
(cd "$work/extracted" && msiextract "$tree/dist/Example-2.0.0.msi" >/dev/null 2>&1)
signed_exe=$(find "$work/extracted" -name Example.exe | head -n 1)
[ -n "$signed_exe" ] && osslsigncode verify -CAfile "$work/cert.pem" -in "$signed_exe" >/dev/null 2>&1 ||
  fail "the launcher inside the package does not verify"
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
msiinfo export "$tree/dist/Example-2.0.0.msi" Property | grep -q '^ALLUSERS	1' ||
  fail "per machine: ALLUSERS is not 1"
msiexec /x "$tree/dist/Example-2.0.0.msi" /qn || fail "the per-machine uninstall failed"
[ ! -e "$machine_programs" ] || fail "the per-machine uninstall left the install folder"
[ ! -e "$machine_shortcut" ] || fail "the per-machine uninstall left the shortcut"
! has_key 'HKLM\Software\Classes\Example.plan' || fail "the per-machine uninstall left a key"

wineserver -k 2>/dev/null || true
[ $failures -eq 0 ] || exit 1
echo "all checks passed"
