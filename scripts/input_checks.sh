# Checks of an author's input shared by brand.sh and package.sh, sourced by
# them after they define fail (which names the script and exits).

# check_text OPTION VALUE: UTF-8 without control characters.
check_text() {
  if ! printf '%s' "$2" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1; then
    fail "$1 is not UTF-8 text"
  fi
  if [ "$(printf '%s' "$2" | LC_ALL=C tr -d '\000-\037\177' | wc -c)" -ne \
    "$(printf '%s' "$2" | wc -c)" ]; then
    fail "$1 holds a line break, tab or other control character"
  fi
  # The C1 controls (U+0080 to U+009F, U+0085 a line break among them) and
  # the line and paragraph separators U+2028 and U+2029, as UTF-8 bytes.
  if printf '%s' "$2" | LC_ALL=C grep -Eq "$(printf '\302[\200-\237]|\342\200[\250\251]')"; then
    fail "$1 holds a line break, tab or other control character"
  fi
}

# check_file_name OPTION VALUE: a file or folder name Windows accepts, shown
# as it is.
check_file_name() {
  case $2 in
    "") fail "$1 is empty" ;;
    *[\<\>:\"/\\\|?*]*) fail "$1 '$2': Windows file names cannot hold < > : \" / \\ | ? *" ;;
    *[.\ ]) fail "$1 '$2': Windows file names cannot end in a dot or a blank" ;;
  esac
  base=$(printf '%s' "$2" | sed 's/\..*//' | tr 'a-z' 'A-Z')
  case $base in
    CON | PRN | AUX | NUL | COM[1-9] | LPT[1-9] | COM¹ | COM² | COM³ | LPT¹ | LPT² | LPT³)
      fail "$1 '$2': $base is a device name on Windows" ;;
  esac
  # Bidirectional controls make Explorer show the name in another order
  # ("Report<U+202E>fdp.exe" shows as "Reportexe.pdf"): U+061C, U+200E,
  # U+200F, U+202A to U+202E and U+2066 to U+2069, as UTF-8 bytes.
  if printf '%s' "$2" |
    LC_ALL=C grep -Eq "$(printf '\330\234|\342\200[\216\217\252-\256]|\342\201[\246-\251]')"; then
    fail "$1 '$2' holds a bidirectional control character, which shows the name in another order"
  fi
  check_text "$1" "$2"
}

# check_code_page OPTION VALUE: text Windows code page 1252 holds, the code
# page of the packages package.sh builds (wixl writes no other).
check_code_page() {
  if ! printf '%s' "$2" | iconv -f UTF-8 -t CP1252 >/dev/null 2>&1; then
    fail "$1 '$2' has characters outside Windows code page 1252, which the packages built here cannot hold"
  fi
}
