#!/bin/sh
# Updates end to end under Wine's msiexec, in a prefix of this test's own,
# with a web server on 127.0.0.1 started here: 1.0.0 installed, each feed
# and server of the table leaves it installed and starting as before with
# nothing staged and a line in the updater's log; then a start of 1.0.0
# stages 1.1.0 from a signed feed, and the next start installs it and 1.1.0
# runs with that start's argument; a package whose install fails leaves
# 1.1.0 starting, and is not tried again.
#   check_update.sh SOURCE_DIR WORK_DIR TAVRIN.EXE FAKE_JAVA.EXE TAVRIN-UPDATE.EXE
set -eu
source_dir=$1
work=$2
tavrin=$3
fake_java=$4
updater=$5
rm -rf "$work"
mkdir -p "$work/served"
. "$(dirname "$0")/package_tree.sh"

openssl ecparam -name prime256v1 -genkey -noout -out "$work/key.pem" 2>/dev/null
openssl ecparam -name prime256v1 -genkey -noout -out "$work/other.pem" 2>/dev/null
public=$(openssl pkey -in "$work/key.pem" -pubout | sed '1d;$d' | tr -d '\n')
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
feed="http://127.0.0.1:$port/Example.update"

# A launcher of the version given: tavrin.exe with its version block's
# numbers set, as brand.sh --version would build it.
versioned() {
  /usr/bin/python3 - "$tavrin" "$1" "$2" <<'PYEOF'
import sys
import pefile
pe = pefile.PE(sys.argv[1])
a, b, c, d = (int(n) for n in sys.argv[3].split("."))
for fixed in pe.VS_FIXEDFILEINFO:
    fixed.FileVersionMS = fixed.ProductVersionMS = (a << 16) | b
    fixed.FileVersionLS = fixed.ProductVersionLS = (c << 16) | d
pe.write(sys.argv[2])
PYEOF
}

# The author's folder of a version: its launcher, the updater, tavrin.ini
# naming the feed and a single-run mutex (which the updater holds while it
# installs, and frees for the new version), and the stand-in runtime, which
# records every run.
make_app() {
  app=$work/app-$1
  mkdir -p "$app/lib" "$app/runtime/bin"
  versioned "$app/Example.exe" "$1.0"
  cp "$updater" "$app/tavrin-update.exe"
  printf 'PK' >"$app/lib/app.jar"
  cp "$fake_java" "$app/runtime/bin/java.exe"
  printf 'FAKE_JAVA_RECORD=C:\\records\\runs.txt\r\n' >"$app/runtime/bin/fake-java.cfg"
  printf '[tavrin]\r\njar-file-name=lib\\app.jar\r\nmin-java-version=1.6\r\njava-location=runtime\\bin\r\nwait-for-exit=0\r\nask-for-java-location=0\r\nallow-newer-version=1\r\npass-arguments=1\r\nsingle-run-mutex=Example.Update.Test\r\nstart-arguments=--from-%s\r\nlog-file=example.log\r\nupdate-feed=%s\r\nupdate-key=%s\r\n' \
    "$1" "$feed" "$public" >"$app/tavrin.ini"
}
build() { # build VERSION [OPTIONS...]: dist/Example-VERSION.msi and .update
  version=$1
  shift
  package --app-dir "$work/app-$version" --name Example --product "Example App" --version "$version" \
    --update-feed "$feed" --update-signing-key "$work/key.pem" "$@" ||
    fail "package.sh $version $*: $(cat "$work/package.err")"
}
make_app 1.0.0
make_app 1.1.0
build 1.0.0
mv "$tree/dist/Example-1.0.0.msi" "$tree/dist/Example-1.0.0.update" "$work/"
build 1.1.0 --product "Example Other"
mv "$tree/dist/Example-1.1.0.update" "$work/other-product.update"
build 1.1.0
cp "$tree/dist/Example-1.1.0.msi" "$work/served/"
grep -q "^Built dist/Example-1.1.0.update: the signed feed of 1.1.0" "$work/package.out" ||
  fail "package.sh did not report the feed: $(cat "$work/package.out")"

# The feed as another key signs it, and with one byte changed.
/usr/bin/python3 - "$tree/dist/Example-1.1.0.update" "$work" <<'PYEOF'
import base64, subprocess, sys
sys.path.insert(0, sys.argv[2] + "/tree/scripts")
from tavrin_tools.update import raw_signature
feed = open(sys.argv[1], "rb").read()
signed = feed[:feed.rindex(b"signature=")]
der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", sys.argv[2] + "/other.pem"],
                     input=signed, capture_output=True, check=True).stdout
open(sys.argv[2] + "/other-key.update", "wb").write(
    signed + b"signature=" + base64.b64encode(raw_signature(der)) + b"\n")
at = feed.index(b"size=") + 5
open(sys.argv[2] + "/changed-byte.update", "wb").write(
    feed[:at] + bytes([feed[at] ^ 1]) + feed[at + 1:])
PYEOF
cp "$tree/dist/Example-1.1.0.update" "$work/good.update"

use_own_prefix
mkdir -p "$drive/records"
local_data="$drive/users/$(id -un)/AppData/Local"
installed="$local_data/Programs/Example App"
updates="$local_data/Example/updates"
runs="$drive/records/runs.txt"
log="$updates/update.log"

server_pid=
serve() {
  /usr/bin/python3 "$source_dir/tests/release/update_server.py" "$port" "$work/served" &
  server_pid=$!
  i=0
  until /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; do
    i=$((i + 1))
    [ $i -le 100 ] || { fail "the web server did not start"; break; }
    sleep 0.1
  done
}
stop_serving() { [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true; server_pid=; }
trap 'stop_serving; wineserver -k 2>/dev/null || true' EXIT

ends() { if [ -f "$log" ]; then grep -c '^end: ' "$log" || true; else echo 0; fi; }
wait_for_end() { # wait_for_end COUNT SECONDS: the updater's log has more ends than COUNT
  i=0
  while [ "$(ends)" -le "$1" ]; do
    i=$((i + 1))
    [ $i -le $(($2 * 10)) ] || return 1
    sleep 0.1
  done
}
last_entry() { awk '/ start\r?$/ { entry = "" } { entry = entry $0 "\n" } END { printf "%s", entry }' "$log" | tr -d '\r'; }
ran() { grep -q "^arg=$1\$" "$runs" 2>/dev/null && grep -q "^arg=$2\$" "$runs"; }
# The application's record comes once it runs, after the launcher may end.
runs_soon() {
  i=0
  until ran "$1" "$2" || [ $i -ge 100 ]; do i=$((i + 1)); sleep 0.1; done
  ran "$1" "$2"
}

wine msiexec /i "$work/Example-1.0.0.msi" /qn </dev/null >/dev/null 2>&1 || fail "1.0.0 did not install"
[ -f "$installed/tavrin-update.exe" ] || fail "the updater is not installed beside the launcher"
wine reg query 'HKCU\Software\tavrin\Updates' /s /reg:64 2>/dev/null | tr -d '\r' |
  grep -qF "InstallFolder    REG_SZ    C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App\\" ||
  fail "the package did not name its folder under its upgrade code"
serve

# row NAME FEED MODE EXPECTED: the feed served (and the server's mode), a
# start, its check's end; 1.0.0 ran, nothing is staged, the log says why.
row() {
  cp "$2" "$work/served/Example.update"
  printf '%s' "$3" >"$work/served/mode"
  rm -f "$updates/last-check"
  before=$(ends)
  began=$(date +%s)
  wine "$installed/Example.exe" "row-$1" </dev/null >/dev/null 2>&1 || fail "$1: the start failed"
  [ $(($(date +%s) - began)) -le 8 ] || fail "$1: the start waited for the check"
  wait_for_end "$before" 40 || fail "$1: the check did not end within 40 s"
  runs_soon --from-1.0.0 "row-$1" || fail "$1: 1.0.0 did not run with its argument"
  last_entry | grep -qF -- "$4" || fail "$1: the updater's log does not say '$4': $(last_entry)"
  [ ! -e "$updates/staged" ] && [ -z "$(ls "$updates" | grep '\.msi')" ] ||
    fail "$1: something is staged: $(ls "$updates")"
}
cp "$work/served/Example-1.1.0.msi" "$work/good.msi"
row changed-byte "$work/changed-byte.update" "" "refused: the feed's signature does not verify with update-key"
row other-key "$work/other-key.update" "" "refused: the feed's signature does not verify with update-key"
row other-product "$work/other-product.update" "" "is not the one installed in C:\\users"
row same-version "$work/Example-1.0.0.update" "" "refused: the feed's version 1.0.0 is not higher than this one, 1.0.0"
/usr/bin/python3 -c "import sys; d = bytearray(open(sys.argv[1], 'rb').read()); d[len(d) // 2] ^= 1; open(sys.argv[1], 'wb').write(d)" \
  "$work/served/Example-1.1.0.msi"
row other-hash "$work/good.update" "" "refused: the package http://127.0.0.1:$port/Example-1.1.0.msi is not the feed's"
cp "$work/good.msi" "$work/served/Example-1.1.0.msi"
row cut-short "$work/good.update" cut "offline: the package http://127.0.0.1:$port/Example-1.1.0.msi: cut short"
row never-answers "$work/good.update" silent "offline: the feed $feed: the response: timed out"
stop_serving
row closed-port "$work/good.update" "" "offline: the feed $feed: sending: no connection"
serve

# A start stages 1.1.0; the next installs it, and 1.1.0 runs with its argument.
row_count=$(ends)
cp "$work/good.update" "$work/served/Example.update"
rm -f "$work/served/mode" "$updates/last-check"
wine "$installed/Example.exe" first.doc </dev/null >/dev/null 2>&1 || fail "the first start failed"
runs_soon --from-1.0.0 first.doc || fail "the first start did not run 1.0.0"
wait_for_end "$row_count" 40 || fail "the check did not end"
last_entry | grep -qF "update: 1.1.0 is staged: it is installed at the next start" ||
  fail "1.1.0 was not staged: $(last_entry)"
[ -f "$updates/1.1.0.msi" ] && [ -f "$updates/staged" ] || fail "no staged package: $(ls "$updates")"
wine "$installed/Example.exe" second.doc </dev/null >/dev/null 2>&1 || fail "the second start failed"
wait_for_end "$((row_count + 1))" 120 || fail "the install did not end"
last_entry | grep -qF "update: 1.1.0 installed (msiexec ended with 0)" || fail "1.1.0 did not install: $(last_entry)"
runs_soon --from-1.1.0 second.doc || fail "1.1.0 did not run with the second start's argument: $(cat "$runs")"
grep -q "^arg=--from-1.0.0\$" "$runs" && [ "$(grep -c '^arg=second.doc$' "$runs")" = 1 ] ||
  fail "the second start ran the application twice or with 1.0.0: $(cat "$runs")"
[ ! -e "$updates/staged" ] && [ ! -e "$updates/1.1.0.msi" ] || fail "the installed package stays staged"
# A check now finds nothing newer.
rm -f "$updates/last-check"
wine "$installed/Example.exe" third.doc </dev/null >/dev/null 2>&1 || fail "the third start failed"
wait_for_end "$((row_count + 2))" 40 || fail "the last check did not end"
last_entry | grep -qF "refused: the feed's version 1.1.0 is not higher than this one, 1.1.0" ||
  fail "1.1.0 took its own feed for an update: $(last_entry)"

# 1.2.0's package is no package: its install fails, 1.1.0 starts with the
# start's argument, and 1.2.0 is not tried again.
printf 'not a package' >"$work/served/Example-1.2.0.msi"
/usr/bin/python3 - "$work" <<'PYEOF'
import base64, hashlib, subprocess, sys
sys.path.insert(0, sys.argv[1] + "/tree/scripts")
from tavrin_tools.update import raw_signature
work = sys.argv[1]
good = open(work + "/good.update", "rb").read().decode()
code = [line for line in good.splitlines() if line.startswith("upgrade-code=")][0]
data = open(work + "/served/Example-1.2.0.msi", "rb").read()
lines = ("version=1.2.0\npackage=Example-1.2.0.msi\nsize=%d\nsha256=%s\n%s\nvalid-until=2099-01-01\n"
         % (len(data), hashlib.sha256(data).hexdigest(), code)).encode()
der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", work + "/key.pem"], input=lines,
                     capture_output=True, check=True).stdout
open(work + "/served/Example.update", "wb").write(
    lines + b"signature=" + base64.b64encode(raw_signature(der)) + b"\n")
PYEOF
rm -f "$updates/last-check"
wine "$installed/Example.exe" fourth.doc </dev/null >/dev/null 2>&1 || fail "the fourth start failed"
wait_for_end "$((row_count + 3))" 40 || fail "the check of 1.2.0 did not end"
last_entry | grep -qF "update: 1.2.0 is staged" || fail "1.2.0 was not staged: $(last_entry)"
wine "$installed/Example.exe" fifth.doc </dev/null >/dev/null 2>&1 || fail "the fifth start failed"
wait_for_end "$((row_count + 4))" 120 || fail "the failing install did not end"
# Windows' msiexec ends with 1620 there, Wine's with 1627.
last_entry | grep -q "update: the install of 1.2.0 failed (msiexec ended with 16[0-9][0-9]): the installed version starts as before, and 1.2.0 is not tried again" ||
  fail "the failed install was not logged: $(last_entry)"
runs_soon --from-1.1.0 fifth.doc || fail "1.1.0 did not start after the failed install"
rm -f "$updates/last-check"
wine "$installed/Example.exe" sixth.doc </dev/null >/dev/null 2>&1 || fail "the sixth start failed"
wait_for_end "$((row_count + 5))" 40 || fail "the check after the failure did not end"
last_entry | grep -qF "refused: 1.2.0 failed to install before: it is not tried again" ||
  fail "1.2.0 was tried again: $(last_entry)"
[ ! -e "$updates/staged" ] || fail "1.2.0 is staged again"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s); the updater's log:"
  cat "$log" 2>/dev/null | tr -d '\r' | tail -60
  exit 1
fi
echo "updates: all checks passed"
