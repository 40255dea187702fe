#!/bin/sh
# The disc image as a user meets it: made by tools/make-iso.sh from the
# assembled disc, listed and extracted with xorriso (Joliet names, as Windows
# reads them), its files read-only, presented to Wine as CD-ROM drive S:, and
# installed from and removed again through the real Setup.exe by the
# end-to-end install test, in a Wine prefix of its own under WORK_DIR.
#
#   iso_install.sh DISC_DIR WORK_DIR WINE_RUN E2E_INSTALL_TEST
set -eu
[ $# -eq 4 ] || { echo "usage: $0 DISC_DIR WORK_DIR WINE_RUN E2E_INSTALL_TEST" >&2; exit 2; }
DISC=$1
WORK=$2
WINE_RUN=$3
INSTALL_TEST=$4
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
PREFIX=$WORK/prefix
export VEXLO_TEST_WINEPREFIX="$PREFIX"
IMAGE=$WORK/vexlo-demo.iso
CD=$WORK/cd
LETTER=s:
DRIVES_KEY='HKLM\Software\Wine\Drives'

fail() { echo "iso_install: $*"; exit 1; }

stop_prefix() { WINEPREFIX="$PREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
cleanup() {
  stop_prefix
  [ -d "$CD" ] && chmod -R u+w "$CD"
}

stop_prefix
[ -d "$WORK" ] && chmod -R u+w "$WORK"
rm -rf "$WORK"
mkdir -p "$WORK"
sh "$ROOT/tools/make-iso.sh" "$DISC" "$IMAGE"

# The volume label, and the files under their Joliet names: the disc's tree.
label=$(xorriso -indev "$IMAGE" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: *//p')
[ "$label" = VEXLO_DEMO ] || fail "volume label is '$label', not VEXLO_DEMO"
xorriso -read_fs norock -indev "$IMAGE" -find / -type f 2>/dev/null |
  sed "s/^'\\(.*\\)'\$/\\1/" | sort >"$WORK/image.list"
(cd "$DISC" && find . -type f | sed 's/^\.//' | sort) >"$WORK/disc.list"
echo "image listing (Joliet names):"
sed 's/^/  /' "$WORK/image.list"
diff "$WORK/disc.list" "$WORK/image.list" >"$WORK/list.diff" ||
  { cat "$WORK/list.diff"; fail "the image does not hold the disc's files"; }
grep -qx /AUTORUN.INF "$WORK/image.list" || fail "no AUTORUN.INF at the root"
# The plain ISO 9660 names stay 8.3, upper case, for readers without Joliet.
xorriso -read_fs ecma119 -ecma119_map stripped -indev "$IMAGE" -find / 2>/dev/null |
  sed "s/^'\\(.*\\)'\$/\\1/" | tr '/' '\n' | grep -v '^$' | sort -u >"$WORK/iso9660.names"
if grep -vE '^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$' "$WORK/iso9660.names"; then
  fail "ISO 9660 names above are not 8.3"
fi

# Extracted as Windows sees the disc, then read-only like a pressed one.
xorriso -osirrox on -read_fs norock -indev "$IMAGE" -extract / "$CD" >/dev/null 2>&1 ||
  fail "cannot extract the image"
chmod -R a-w "$CD"
diff -r "$DISC" "$CD" || fail "the extracted image differs from the disc"

# The drive's type is read when the prefix starts: made, then restarted.
trap cleanup EXIT
"$WINE_RUN" reg add "$DRIVES_KEY" /v "$LETTER" /d cdrom /f >/dev/null 2>&1 ||
  fail "cannot make $LETTER a CD-ROM drive"
ln -sfn "$CD" "$PREFIX/dosdevices/$LETTER"
stop_prefix

VEXLO_E2E_DISC='S:\' "$WINE_RUN" "$INSTALL_TEST" \
  --gtest_filter='DiscDrive.*:InstallTest.DefaultInstallation:InstallTest.RemovalThroughTheUninstallEntryLeavesNothingBehind'
