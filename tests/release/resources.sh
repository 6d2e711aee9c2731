# Checks of an executable's imports, size and resources, shared by the
# release checks (sourced). Each failed check is counted in $failures, which
# the caller turns into its exit code. Needs $work, a scratch folder of the
# caller's.

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# KERNEL32 and msvcrt only: no C++ runtime beside it, and user32, shell32,
# ole32 and advapi32 are loaded at run time, only when a start needs them.
# At most $2 bytes.
check_imports_and_size() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' >"$work/imports"
  echo "imports: $(tr '\n' ' ' <"$work/imports")"
  [ -s "$work/imports" ] || fail "no import table"
  while read -r dll; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
      kernel32.dll | msvcrt.dll) ;;
      *) fail "imports $dll: only KERNEL32.dll and msvcrt.dll may be imported" ;;
    esac
  done <"$work/imports"
  size=$(wc -c <"$1")
  echo "size: $size bytes"
  [ "$size" -le "$2" ] || fail "$size bytes is more than $2 bytes"
}

# The launcher is built without C++ exceptions, and its strings are compiled
# into its own code (src/lean_library.h). The linker map ($1) must show that
# nothing of the library's exception machinery, the unwinder or the threads
# library it brings along was linked.
check_no_exception_runtime() {
  [ -s "$1" ] || { fail "no linker map $1"; return; }
  sed -n '/^Archive member included/,/^Discarded input sections/p' "$1" |
    grep -oE '(libstdc\+\+|libsupc\+\+|libgcc_eh|libpthread|libwinpthread)\.a\([^)]*\)' |
    sort -u >"$work/runtime-members"
  if [ -s "$work/runtime-members" ]; then
    fail "the C++ exception runtime is linked in: $(tr '\n' ' ' <"$work/runtime-members")"
  fi
}

# "WIDTH:DEPTH " for each image of the executable's first icon group.
icon_images() {
  rm -f "$work/icon.ico"
  wrestool -x --type=14 "$1" -o "$work/icon.ico" 2>/dev/null || { fail "no icon group"; return; }
  icotool -l "$work/icon.ico" |
    sed -n 's/.*--width=\([0-9]*\) --height=[0-9]* --bit-depth=\([0-9]*\).*/\1:\2/p' | tr '\n' ' '
}

# The version block, read by version_info.cpp, must be exactly the lines of
# the file $2.
check_version_block() {
  [ -x "$work/version_info" ] ||
    c++ -O2 -std=c++17 "$(dirname "$0")/version_info.cpp" -o "$work/version_info"
  wrestool -x -R --type=16 "$1" -o "$work/version.bin" 2>/dev/null || { fail "no version block"; return; }
  "$work/version_info" "$work/version.bin" >"$work/version.txt" || fail "a malformed version block"
  diff "$2" "$work/version.txt" >"$work/version.diff" ||
    fail "the version block differs (- expected, + found):
$(cat "$work/version.diff")"
}

# The manifest: as invoker, Common Controls 6, DPI awareness, long paths,
# Windows 7 to 11.
check_manifest() {
  wrestool -x -R --type=24 "$1" -o "$work/manifest.xml" 2>/dev/null || { fail "no manifest"; return; }
  for fragment in 'level="asInvoker"' 'uiAccess="false"' 'Microsoft.Windows.Common-Controls' \
    'version="6.0.0.0"' '<longPathAware' 'PerMonitorV2' \
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qF "$fragment" "$work/manifest.xml" || fail "manifest lacks $fragment"
  done
}
