#!/bin/sh
# Small drives for the install failure tests, mapped into the Wine prefix:
#   O:   64 KiB, full while the game executable is copied (smaller than any build of it)
#   P: 1200 KiB, full while the audio members are written
#   R:  read-only, holding the empty folder "Vexlo Demo"
# usage: small_drives.sh up|down FOLDER WINEPREFIX
# Where mounting is not allowed nothing is mapped; the tests then skip.
set -u
action=$1
root=$2
dosdevices=$3/dosdevices

down() {
  rm -f "$dosdevices/o:" "$dosdevices/p:" "$dosdevices/r:"
  for drive in o p r; do
    if mountpoint -q "$root/$drive" 2>/dev/null; then umount -l "$root/$drive"; fi
  done
}

up() {
  down
  mkdir -p "$root/o" "$root/p" "$root/r" "$dosdevices"
  if mount -t tmpfs -o size=64k vexlo-o "$root/o" 2>/dev/null &&
     mount -t tmpfs -o size=1200k vexlo-p "$root/p" 2>/dev/null &&
     mount -t tmpfs -o size=64k vexlo-r "$root/r" 2>/dev/null &&
     mkdir "$root/r/Vexlo Demo" && mount -o remount,ro "$root/r" 2>/dev/null; then
    ln -s "$root/o" "$dosdevices/o:"
    ln -s "$root/p" "$dosdevices/p:"
    ln -s "$root/r" "$dosdevices/r:"
    echo "small drives O:, P: and R: mounted under $root"
  else
    down
    echo "small_drives.sh: mounting a tmpfs is not allowed here; the full and read-only drive tests will skip"
  fi
}

case $action in
  up) up ;;
  down) down ;;
  *) echo "usage: $0 up|down FOLDER WINEPREFIX" >&2; exit 2 ;;
esac
exit 0
