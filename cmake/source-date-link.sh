#!/bin/sh
# Runs a link command with SOURCE_DATE_EPOCH set: as given by the caller, or
# else the time of the source tree's last commit, or else 0 (a tree without
# its history still links the same twice).
#
#   source-date-link.sh SOURCE_DIR LINK_COMMAND...
source_dir=$1
shift
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
  [ -n "$SOURCE_DATE_EPOCH" ] || SOURCE_DATE_EPOCH=0
fi
export SOURCE_DATE_EPOCH
exec "$@"
