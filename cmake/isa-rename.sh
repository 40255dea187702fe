#!/bin/sh
# Makes a static library of objects compiled for another instruction set in
# which every symbol they define, and every COMDAT section, carries PREFIX:
# nothing of it can stand in for the plain build's code at link time (an
# inline function or template kept from the wrong copy would run SSE2 code on
# a processor without it). References to what the objects do not define (the
# C library, the media layer) are left alone. Their static constructors do
# not run at start: their table moves from .ctors to .sse2ini, which the
# copy's entry runs itself, once, when it is first chosen.
#
#   isa-rename.sh OBJCOPY NM OBJDUMP AR PREFIX OUTPUT.a OBJECT...
set -eu
OBJCOPY=$1 NM=$2 OBJDUMP=$3 AR=$4 PREFIX=$5 OUTPUT=$6
shift 6
work=$OUTPUT.work
rm -rf "$work" "$OUTPUT"
mkdir -p "$work"
# i686 names begin with an underscore, which stays first.
"$NM" -g --defined-only -P "$@" | awk 'NF >= 2 && $1 !~ /:$/ { print $1 }' | sort -u |
  awk -v p="$PREFIX" '{ print $1, substr($1, 1, 1) p substr($1, 2) }' >"$work/symbols.map"
i=0
for object in "$@"; do
  i=$((i + 1))
  # COMDAT sections are named after their symbol, and so is the section's own
  # symbol: both are renamed alike.
  "$OBJDUMP" -h "$object" | awk -v p="$PREFIX" '$2 ~ /\$/ && $2 !~ /\$zzz$/ {
      n = index($2, "$"); renamed = substr($2, 1, n) p substr($2, n + 1)
      printf "--rename-section\n%s=%s\n--redefine-sym\n%s=%s\n", $2, renamed, $2, renamed
    }
    $2 == ".ctors" { printf "--rename-section\n.ctors=.sse2ini\n" }' >"$work/$i.sections"
  if "$OBJDUMP" -h "$object" | awk '$2 ~ /^\.ctors\./ { found = 1 } END { exit !found }'; then
    echo "isa-rename: $object has prioritised constructors, which the entry does not run" >&2
    exit 1
  fi
  # shellcheck disable=SC2046 # one option or argument a line, none with spaces
  "$OBJCOPY" --redefine-syms="$work/symbols.map" $(cat "$work/$i.sections") \
    "$object" "$work/$i.obj"
done
"$AR" qcs "$OUTPUT" "$work"/*.obj
