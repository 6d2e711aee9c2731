#!/bin/sh
# Dependencies run one way, from the start-up sequence down to the platform:
# a file includes headers of its own room and of rooms below it, never of a
# room above or beside it.
#   check_layers.sh SOURCE_DIR
set -eu
src=$1/src

# A room's level; rooms of one level include nothing of each other.
level() {
  case $1 in
  launcher) echo 8 ;;
  service) echo 7 ;;
  launch | instance | update) echo 6 ;;
  settings | runtime) echo 5 ;;
  messages) echo 4 ;;
  host) echo 3 ;;
  process | version) echo 2 ;;
  platform) echo 1 ;;
  *) echo 0 ;;
  esac
}

failures=0
rooms=0
for dir in "$src"/*/; do
  room=$(basename "$dir")
  rooms=$((rooms + 1))
  own=$(level "$room")
  if [ "$own" -eq 0 ]; then
    echo "src/$room: a room without a level in check_layers.sh"
    failures=$((failures + 1))
    continue
  fi
  for file in "$dir"*; do
    for included in $(sed -n 's/^#include "\([a-z_]*\)\/.*"$/\1/p' "$file"); do
      [ "$included" = "$room" ] && continue
      if [ "$(level "$included")" -ge "$own" ]; then
        echo "src/$room/$(basename "$file") includes a header of $included/, which is not below $room/"
        failures=$((failures + 1))
      fi
    done
  done
done
[ "$rooms" -ge 8 ] || { echo "found only $rooms rooms under $src"; exit 1; }
[ $failures -eq 0 ] || exit 1
echo "every include runs downward"
