#!/bin/sh
# Writes the image a publisher burns: ISO 9660 (8.3 names, as every system
# reads them) with Joliet long names, as Windows 95 and NT 4.0 show them, and
# a volume label. Beside the image, SHA256SUMS: its checksum, for
# `sha256sum -c SHA256SUMS` in that folder.
#
#   tools/make-iso.sh [DISC_DIR [IMAGE]]   (build/disc-win32, build/vexlo-demo.iso)
#   VEXLO_VOLUME_LABEL  the volume label (VEXLO_DEMO): at most 32 of A-Z, 0-9, _
#   VEXLO_GAME_EXE      the game executable the disc must hold (VexloDmo.exe)
set -eu
cd "$(dirname "$0")/.."
DISC=${1:-build/disc-win32}
IMAGE=${2:-build/vexlo-demo.iso}
LABEL=${VEXLO_VOLUME_LABEL:-VEXLO_DEMO}
GAME=${VEXLO_GAME_EXE:-VexloDmo.exe}
command -v xorriso >/dev/null || { echo "make-iso: xorriso missing (make deps)" >&2; exit 1; }
# ISO 9660 takes a volume label of at most 32 d-characters; xorriso would
# change another one without a word.
if ! printf '%s' "$LABEL" | grep -Eqx '[A-Z0-9_]{1,32}'; then
  echo "make-iso: the volume label \"$LABEL\" is not 1 to 32 of A-Z, 0-9 and _ (VolumeLabel in product.ini)" >&2
  exit 1
fi
for required in AUTORUN.INF Setup.exe "$GAME"; do
  [ -f "$DISC/$required" ] || { echo "make-iso: $DISC/$required missing (make win32)" >&2; exit 1; }
done
rm -f "$IMAGE.part"
# The same tree gives the same image: every date in it, of the volume and of
# each file, is the commit's time (as the programs' stamps are), never a file's
# time on this disk or the clock; the file order is xorriso's sorted one.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
  [ -n "$SOURCE_DATE_EPOCH" ] || SOURCE_DATE_EPOCH=0
fi
date="=$SOURCE_DATE_EPOCH"
uuid=$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" +%Y%m%d%H%M%S00)
TZ=UTC xorriso -report_about WARNING \
  -volume_date c "$date" -volume_date m "$date" -volume_date x default \
  -volume_date f default -volume_date uuid "$uuid" -volume_date all_file_dates "$date" \
  -as mkisofs -quiet -o "$IMAGE.part" -V "$LABEL" -J -joliet-long -r \
  -iso-level 1 "$DISC"
mv "$IMAGE.part" "$IMAGE"
(cd "$(dirname "$IMAGE")" && sha256sum "$(basename "$IMAGE")" >SHA256SUMS)
echo "$IMAGE: $(wc -c <"$IMAGE") bytes, volume $LABEL"
echo "$(dirname "$IMAGE")/SHA256SUMS: $(cut -d' ' -f1 "$(dirname "$IMAGE")/SHA256SUMS")"
