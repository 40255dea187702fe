#!/bin/sh
# Checks that 32-bit Windows programs load on first-release Windows 95 and
# Windows NT 4.0: the header asks for subsystem and OS version 4.0 (95 refuses
# newer), and every imported DLL and function is in the allowlist, which must
# name 95 and NT 4.0 or older for it. Reads the headers and import tables with
# the mingw objdump.
#
#   tools/check-imports.sh ALLOWLIST PROGRAM...
#
# Prints each program's DLLs and the number of functions checked, one line per
# offence, and exits non-zero on any.
set -eu
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
[ $# -ge 2 ] || { echo "usage: $0 ALLOWLIST PROGRAM..." >&2; exit 2; }
allowlist=$1
shift
[ -r "$allowlist" ] || { echo "check-imports: cannot read $allowlist" >&2; exit 2; }

status=0
for program in "$@"; do
  if [ ! -f "$program" ]; then
    echo "check-imports: $program: missing"
    status=1
    continue
  fi
  if ! table=$("$OBJDUMP" -p "$program"); then
    echo "check-imports: $program: objdump failed"
    status=1
    continue
  fi
  for field in MajorSubsystemVersion:4 MinorSubsystemVersion:0 MajorOSystemVersion:4 \
    MinorOSystemVersion:0; do
    value=$(printf '%s\n' "$table" | awk -v name="${field%%:*}" '$1 == name { print $2 }')
    if [ "$value" != "${field#*:}" ]; then
      echo "$(basename "$program"): ${field%%:*} is ${value:-missing}, not ${field#*:}"
      status=1
    fi
  done
  # One line per import: DLL (upper case) and function name, or #ordinal.
  printf '%s\n' "$table" | awk '
    /^[ \t]*DLL Name:/ { dll = toupper($3); sub(/\.DLL$/, "", dll); next }
    /^The Export Tables/ { dll = "" }
    dll != "" && /^\t[0-9a-f]+\t/ {
      if (NF >= 3) print dll, $3; else if (NF == 2) print dll, "#" $2
    }' >"${TMPDIR:-/tmp}/check-imports.$$"
  if ! awk -v program="$(basename "$program")" '
    # Allowlist: DLL FUNCTION WIN9X NT SOURCE. Systems are the oldest that export it.
    FNR == NR {
      if ($0 ~ /^[ \t]*(#|$)/) next
      key = toupper($1) " " $2
      allowed[key] = 1
      if ($3 != "95") bad[key] = "not exported by Windows 95 (" $3 ")"
      else if ($4 !~ /^(3\.1|3\.5|3\.51|4\.0)$/) bad[key] = "not exported by NT 4.0 (" $4 ")"
      next
    }
    {
      key = $1 " " $2
      if (!($1 in dlls)) { dlls[$1] = 1; list = list " " $1 }
      count++
      if (!(key in allowed)) { printf "%s: %s!%s is not in the allowlist\n", program, $1, $2; failed = 1 }
      else if (key in bad) { printf "%s: %s!%s is %s\n", program, $1, $2, bad[key]; failed = 1 }
    }
    END {
      printf "%s: %d functions from%s\n", program, count, list
      exit failed
    }' "$allowlist" "${TMPDIR:-/tmp}/check-imports.$$"; then
    status=1
  fi
  rm -f "${TMPDIR:-/tmp}/check-imports.$$"
done
exit $status
