#!/bin/sh
# tools/make-iso.sh: every file of the disc on the image under its own name
# (non-ASCII and shell characters included, whatever the caller's locale); a
# name the image would change, or a volume label ISO 9660 cannot hold, stops
# it with the name and leaves no image.
set -u
script=$1
command -v xorriso >/dev/null || { echo "xorriso missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

disc=$work/disc
mkdir -p "$disc/data" "$disc/DXSetup/DirectX"
for name in AUTORUN.INF Setup.exe Starfall.exe "Ünïcödé Notes.txt" "It's \$5 & (more).txt" \
  "data/Track 1 - Opening.MP3" DXSetup/DirectX/ReadMe.txt; do
  echo "$name" >"$disc/$name"
done
# image LABEL: runs make-iso.sh on the disc in the C locale.
image() {
  LC_ALL=C VEXLO_VOLUME_LABEL=$1 VEXLO_GAME_EXE=Starfall.exe SOURCE_DATE_EPOCH=0 \
    sh "$script" "$disc" "$work/out/Starfall.iso" >"$work/log" 2>&1
}
mkdir -p "$work/out"
image STARFALL || fail "a good disc was refused: $(cat "$work/log")"
listing=$(LC_ALL=C.UTF-8 xorriso -read_fs norock -indev "$work/out/Starfall.iso" -find / -type f 2>/dev/null)
for name in "/Ünïcödé Notes.txt" "/data/Track 1 - Opening.MP3"; do
  printf '%s\n' "$listing" | grep -qxF "'$name'" || fail "$name is not on the image: $listing"
done
(cd "$work/out" && sha256sum -c SHA256SUMS >/dev/null 2>&1) || fail "SHA256SUMS does not check"
label=$(xorriso -indev "$work/out/Starfall.iso" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: *//p')
[ "$label" = STARFALL ] || fail "the volume label is '$label'"

long=$(printf 'Long%.0s' $(seq 1 26)).txt
echo long >"$disc/data/$long"
# The good image of before must not stay beside a failed run: its SHA256SUMS
# would still check, for content that is no longer the disc's.
if image STARFALL; then fail "a name of 108 characters passed"; fi
grep -qF "  /data/$long" "$work/log" || fail "the long name is not named: $(cat "$work/log")"
[ -e "$work/out/Starfall.iso" ] || [ -e "$work/out/Starfall.iso.part" ] && fail "an image was left"
[ -e "$work/out/SHA256SUMS" ] && fail "the earlier SHA256SUMS was left beside a failed run"
rm -f "$disc/data/$long"

for label in "Star fall" starfall THIRTY_THREE_CHARACTERS_LONG_NAME; do
  if image "$label"; then fail "the volume label '$label' passed"; fi
  grep -qF "the volume label \"$label\"" "$work/log" || fail "label '$label': $(cat "$work/log")"
done
for missing in Starfall.exe AUTORUN.INF; do
  mv "$disc/$missing" "$work/$missing"
  if image STARFALL; then fail "a disc without $missing passed"; fi
  grep -qF "$missing missing" "$work/log" || fail "$missing: $(cat "$work/log")"
  mv "$work/$missing" "$disc/$missing"
done

# --remove: what `make release` runs before it builds, so that a build that
# fails before the image is written leaves no master either.
image STARFALL || fail "a good disc was refused: $(cat "$work/log")"
echo other >"$work/out/Other.iso"
sh "$script" --remove "$work/out/Starfall.iso" || fail "--remove failed"
[ -e "$work/out/Starfall.iso" ] && fail "--remove left the image"
[ -e "$work/out/SHA256SUMS" ] && fail "--remove left SHA256SUMS"
[ -e "$work/out/Other.iso" ] || fail "--remove removed another image"
sh "$script" --remove "$work/out/Starfall.iso" || fail "--remove of a missing image failed"

[ "$failures" -eq 0 ] && echo "all image checks passed"
exit "$failures"
