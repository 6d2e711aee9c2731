# The author's tools in a tree of the test's own, which they write (its
# build/ and dist/), and a Wine prefix of the test's own (sourced). Needs
# $source_dir and $work.

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

tree=$work/tree
mkdir -p "$tree/scripts" "$tree/dist"
cp -R "$source_dir/scripts/package.sh" "$source_dir/scripts/tavrin_tools" "$tree/scripts/"
package() { "$tree/scripts/package.sh" "$@" >"$work/package.out" 2>"$work/package.err"; }

# Wine in $work/prefix, its desktop in a home of the test's own, no display.
use_own_prefix() {
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64 HOME="$work/home"
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
  export LC_ALL="${LC_ALL:-C.UTF-8}"
  unset DISPLAY WINEDLLPATH
  mkdir -p "$HOME/Desktop"
  wineboot -i >/dev/null 2>&1 </dev/null
  drive=$WINEPREFIX/drive_c
}
