#!/bin/sh
# Writes the image a publisher burns: ISO 9660 (8.3 names, as every system
# reads them) with Joliet long names, as Windows 95 and NT 4.0 show them, and
# a volume label.
#
#   tools/make-iso.sh [DISC_DIR [IMAGE]]   (build/disc-win32, build/vexlo-demo.iso)
set -eu
cd "$(dirname "$0")/.."
DISC=${1:-build/disc-win32}
IMAGE=${2:-build/vexlo-demo.iso}
LABEL=${VEXLO_VOLUME_LABEL:-VEXLO_DEMO}
command -v xorriso >/dev/null || { echo "make-iso: xorriso missing (make deps)" >&2; exit 1; }
for required in AUTORUN.INF Setup.exe VexloDmo.exe; do
  [ -f "$DISC/$required" ] || { echo "make-iso: $DISC/$required missing (make win32)" >&2; exit 1; }
done
rm -f "$IMAGE.part"
# The same tree gives the same image: file times come from SOURCE_DATE_EPOCH
# when it is set.
xorriso -as mkisofs -quiet -o "$IMAGE.part" -V "$LABEL" -J -joliet-long -r \
  -iso-level 1 "$DISC"
mv "$IMAGE.part" "$IMAGE"
echo "$IMAGE: $(wc -c <"$IMAGE") bytes, volume $LABEL"
