# Reads tavrin.ini as the launcher does, for the scripts that look into it;
# sourced by them.

# settings_value FILE KEY: the value of the last entry KEY (exactly so
# spelt) of the section [tavrin] (in any letter case), blanks and tabs around
# it trimmed; nothing when there is none. The launcher's syntax: a UTF-8
# signature at the start, lines ending in CR LF, LF or CR, comments starting
# with ; or # after blanks, "[name]" with blanks around the name and any text
# after "]", blanks around "=".
settings_value() {
  settings_entry "$1" "$2" value
}

# settings_has FILE KEY: 1 when the section [tavrin] has the entry KEY, even
# with an empty value; nothing otherwise.
settings_has() {
  settings_entry "$1" "$2" presence
}

settings_entry() {
  LC_ALL=C awk -v key="$2" -v want="$3" '
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
      if (equals <= 1 || section != "tavrin") next
      entry = substr(line, 1, equals - 1)
      sub(/[ \t]+$/, "", entry)
      if (entry != key) next
      value = substr(line, equals + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", value)
      found = 1
    }
    END { if (want == "presence") { if (found) printf "1" } else printf "%s", value }' "$1"
}
