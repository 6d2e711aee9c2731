#!/bin/sh
# The README's worked example of several programs, followed word for word:
# its shell block runs as written from the root of a copy of the repository,
# the package it makes is installed by Wine's msiexec in a prefix of this
# test's own, and both installed programs start their application with the
# stand-in runtime.
#   check_readme_example.sh SOURCE_DIR WORK_DIR FAKE_JAVA.EXE
set -eu
source_dir=$1
work=$2
fake_java=$3
rm -rf "$work"
mkdir -p "$work"
. "$(dirname "$0")/resources.sh"

# A fresh clone's files (no build/, no dist/).
tree=$work/tree
mkdir -p "$tree"
cp -r "$source_dir/README.md" "$source_dir/CMakeLists.txt" "$source_dir/CMakePresets.json" \
  "$source_dir/cmake" "$source_dir/src" "$source_dir/resources" "$source_dir/scripts" \
  "$source_dir/demo" "$tree/"

# The shell blocks of the section, in order.
awk '/^## /{inside = ($0 == "## Several programs in one application")}
     inside && /^```/{code = !code && ($0 == "```sh"); next}
     inside && code' "$tree/README.md" >"$work/example.sh"
grep -q 'package.sh' "$work/example.sh" || fail "the README's example has no package.sh step"

# The two brands compile the same sources: a cache of the test's own shares
# the compilations.
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_DIR="$work/ccache" CCACHE_BASEDIR="$tree"
(cd "$tree" && sh -eu "$work/example.sh" >"$work/example.out" 2>&1) ||
  fail "the README's example failed: $(tail -20 "$work/example.out")"
grep -qF "Built $tree/dist/ExampleApp.exe: " "$work/example.out" ||
  fail "brand.sh did not give the full path of what it built"
msi=$tree/dist/ExampleApp-2.4.1.msi
[ -f "$msi" ] || fail "the example made no $msi"
[ $failures -eq 0 ] || exit 1

# --- Installed under Wine, per user; the programs find the stand-in
# runtime on the search path. ---
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64 HOME="$work/home"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
export LC_ALL="${LC_ALL:-C.UTF-8}"
unset DISPLAY WINEDLLPATH
mkdir -p "$HOME/Desktop" "$work/java"
wineboot -i >/dev/null 2>&1 </dev/null
cp "$fake_java" "$work/java/java.exe"
windows() { printf 'Z:%s' "$1" | tr / '\\'; }
export WINEPATH="$(windows "$work/java")" FAKE_JAVA_RECORD="$(windows "$work/runs.txt")"
export FAKE_JAVA_REPORT='openjdk version "17.0.15" 2025-04-15\r\n' JAVA_HOME=
wine msiexec /i "$(windows "$msi")" /qn </dev/null >/dev/null 2>&1 || fail "the package did not install"
install="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Example App"
menu="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
[ -f "$menu/Example App.lnk" ] || fail "no Start-menu shortcut for ExampleApp.exe"

# The windowed program, as its shortcut or a document starts it.
wine "$install\\ExampleApp.exe" 'C:\plan.xml' </dev/null >/dev/null 2>&1 ||
  fail "ExampleApp.exe ended with $?"
# It does not wait for its application, which records its run (after the
# version check's) as it ends.
i=0
while [ "$(grep -c '^---$' "$work/runs.txt" 2>/dev/null)" != 2 ] && [ $i -lt 100 ]; do
  sleep 0.1
  i=$((i + 1))
done
grep -qxF 'arg=-jar' "$work/runs.txt" && grep -qxF 'arg=C:\plan.xml' "$work/runs.txt" ||
  fail "ExampleApp.exe did not start the JAR with the document: $(cat "$work/runs.txt" 2>/dev/null)"

# The tool, by its name from a new command prompt (the install folder is on
# the user's PATH), with the runtime the windowed program remembered.
grep -qx 'java-location=java.exe' "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Example App/tavrin.ini" ||
  fail "ExampleApp.exe did not remember the runtime in [tavrin]"
rm -f "$work/runs.txt"
mkdir -p "$WINEPREFIX/drive_c/plans"
(cd "$WINEPREFIX/drive_c/plans" &&
  TAVRIN_LOG="$(windows "$work/tool.log")" wine cmd /c 'example convert plan.xml' \
    </dev/null >"$work/tool.out" 2>&1) || fail "the tool did not run: $(cat "$work/tool.out")"
for arg in -Xmx512m DemoApp convert plan.xml; do
  grep -qxF "arg=$arg" "$work/runs.txt" 2>/dev/null ||
    fail "the tool's application did not get $arg (its log: $work/tool.log)"
done
grep -qxF 'cwd=C:\plans' "$work/runs.txt" || fail "the tool did not work in the caller's folder"

[ -n "${KEEP:-}" ] || wine msiexec /x "$(windows "$msi")" /qn </dev/null >/dev/null 2>&1 || fail "the uninstall failed"
wineserver -k 2>/dev/null || true
[ $failures -eq 0 ] || exit 1
echo "all checks passed"
