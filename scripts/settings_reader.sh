# Reads tavrin.ini as the launcher does, for the scripts that look into it;
# sourced by them.

# settings_value FILE KEY [PROGRAM]: the value of the last entry KEY
# (exactly so spelt) of the section [tavrin] (in any letter case), blanks and
# tabs around it trimmed; nothing when there is none. With PROGRAM (a
# launcher's file name, such as example.exe), its own section [PROGRAM]
# stands over [tavrin], key by key, and an empty value there clears the
# shared one. The launcher's syntax: a UTF-8 signature at the start, lines
# ending in CR LF, LF or CR, comments starting with ; or # after blanks,
# "[name]" with blanks around the name and any text after "]", blanks
# around "=".
settings_value() {
  settings_entry "$1" "$2" value "${3:-}"
}

# settings_has FILE KEY [PROGRAM]: 1 when the section [tavrin] has the entry
# KEY, even with an empty value (and PROGRAM's section has not cleared it);
# nothing otherwise.
settings_has() {
  settings_entry "$1" "$2" presence "${3:-}"
}

settings_entry() {
  LC_ALL=C awk -v key="$2" -v want="$3" -v program="$(printf '%s' "$4" | LC_ALL=C tr 'A-Z' 'a-z')" '
    BEGIN { RS = "\r\n|\n|\r" }
    NR == 1 { sub(/^\357\273\277/, "") }
    {
      line = $0
      sub(/^[ \t]+/, "", line)
      if (line == "" || line ~ /^[;#]/) next
      if (line ~ /^\[/) {
        close_at = index(line, "]")
        if (close_at == 0) next
        name = substr(line, 2, close_at - 2)
        gsub(/^[ \t]+|[ \t]+$/, "", name)
        section = tolower(name)
        next
      }
      equals = index(line, "=")
      own = program != "" && section == program
      if (equals <= 1 || (section != "tavrin" && !own)) next
      entry = substr(line, 1, equals - 1)
      sub(/[ \t]+$/, "", entry)
      if (entry != key) next
      text = substr(line, equals + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", text)
      if (own) { own_value = text; own_found = 1 } else { value = text; found = 1 }
    }
    END {
      if (own_found) { value = own_value; found = own_value != "" }
      if (want == "presence") { if (found) printf "1" } else printf "%s", value
    }' "$1"
}
