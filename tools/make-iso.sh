#!/bin/sh
# Writes the image a publisher burns: ISO 9660 (8.3 names, as every system
# reads them) with Joliet long names, as Windows 95 and NT 4.0 show them, and
# a volume label. Beside the image, SHA256SUMS: its checksum, for
# `sha256sum -c SHA256SUMS` in that folder.
#
#   tools/make-iso.sh [DISC_DIR [IMAGE]]   (build/disc-win32, build/vexlo-demo.iso)
#   tools/make-iso.sh --remove IMAGE       only removes IMAGE and its SHA256SUMS
# The image and SHA256SUMS it replaces are removed first: a build that fails
# leaves no master of other content beside it for `sha256sum -c` to pass.
# `make release` and `make iso` do the same before they build the disc.
#   VEXLO_VOLUME_LABEL  the volume label: at most 32 of A-Z, 0-9, _
#   VEXLO_GAME_EXE      the game executable the disc must hold
# Without them, the sample product's VolumeLabel and GameExeName as the win32
# build wrote them (VEXLO_DEMO and VexloDmo.exe before it has run).
set -eu
cd "$(dirname "$0")/.."
forget() { rm -f "$1" "$1.part" "$(dirname "$1")/SHA256SUMS"; }
if [ "${1:-}" = --remove ]; then
  [ $# -eq 2 ] || { echo "usage: tools/make-iso.sh --remove IMAGE" >&2; exit 2; }
  forget "$2"
  exit 0
fi
DISC=${1:-build/disc-win32}
IMAGE=${2:-build/vexlo-demo.iso}
forget "$IMAGE"
product_VolumeLabel=VEXLO_DEMO
product_GameExeName=VexloDmo.exe
if [ -f build/win32/generated/product.sh ]; then
  # shellcheck disable=SC1091
  . ./build/win32/generated/product.sh
fi
LABEL=${VEXLO_VOLUME_LABEL:-$product_VolumeLabel}
GAME=${VEXLO_GAME_EXE:-$product_GameExeName}
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
# The same tree gives the same image: every date in it, of the volume and of
# each file, is the commit's time (as the programs' stamps are), never a file's
# time on this disk or the clock; the file order is xorriso's sorted one.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
  [ -n "$SOURCE_DATE_EPOCH" ] || SOURCE_DATE_EPOCH=0
fi
date="=$SOURCE_DATE_EPOCH"
uuid=$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" +%Y%m%d%H%M%S00)
# Joliet names are UTF-16: the file names are read as UTF-8 whatever this
# shell's locale (in the C locale xorriso turns every other byte into '_').
TZ=UTC LC_ALL=C.UTF-8 xorriso -report_about WARNING \
  -volume_date c "$date" -volume_date m "$date" -volume_date x default \
  -volume_date f default -volume_date uuid "$uuid" -volume_date all_file_dates "$date" \
  -as mkisofs -quiet -o "$IMAGE.part" -V "$LABEL" -J -joliet-long -r \
  -iso-level 1 "$DISC"
# Every file under its own name: xorriso shortens a Joliet name past 103
# characters, without a word.
names=$(mktemp -d)
(cd "$DISC" && find . -type f | sed 's|^\.||' | LC_ALL=C sort) >"$names/disc"
LC_ALL=C.UTF-8 xorriso -read_fs norock -indev "$IMAGE.part" -find / -type f 2>/dev/null |
  sed -e "s/^'//" -e "s/'\$//" -e "s/'\"'\"'/'/g" | LC_ALL=C sort >"$names/image"
if ! cmp -s "$names/disc" "$names/image"; then
  echo "make-iso: these files of $DISC would have other names on the image (at most 103 characters):" >&2
  LC_ALL=C comm -23 "$names/disc" "$names/image" | sed 's/^/  /' >&2
  rm -rf "$names" "$IMAGE.part"
  exit 1
fi
rm -rf "$names"
mv "$IMAGE.part" "$IMAGE"
(cd "$(dirname "$IMAGE")" && sha256sum "$(basename "$IMAGE")" >SHA256SUMS)
echo "$IMAGE: $(wc -c <"$IMAGE") bytes, volume $LABEL"
echo "$(dirname "$IMAGE")/SHA256SUMS: $(cut -d' ' -f1 "$(dirname "$IMAGE")/SHA256SUMS")"
