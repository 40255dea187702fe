#!/bin/sh
# Fails, naming each one, when a file or folder under FOLDER has a name that a
# Windows disc cannot hold: a control character, one of \ : * ? " < > |, or a
# final dot or space. Wine shows such a file under another name, so an
# install from it fails far from the cause. Any other name is fine (spaces,
# quotes ', $, `, brackets, non-ASCII).
#   check-disc-names.sh FOLDER
set -eu
[ $# -eq 1 ] && [ -d "$1" ] || { echo "usage: check-disc-names.sh FOLDER" >&2; exit 2; }
bad=$(cd "$1" && find . -mindepth 1 \( -name '*[\\:*?"<>|]*' -o -name '*[[:cntrl:]]*' \
  -o -name '*.' -o -name '* ' \) -print | sed 's|^\./||')
[ -z "$bad" ] && exit 0
printf '%s\n' "$bad" | while IFS= read -r name; do
  printf '%s: "%s": a Windows disc cannot hold this name (no \\ : * ? " < > |, control characters, or final dot or space)\n' \
    "$1" "$name" >&2
done
exit 1
