#!/bin/sh
# Times the install sequence alone (no wizard, under wine64) on a disc with
# 20 minutes of MP3 (the sample disc with four 5-minute 128 kbit/s stereo
# tracks, made once with sox and lame, in place of its own music), against the
# raw work it cannot avoid: cp of the files it copies and the native
# vexlo-mp3wav decode of each .mp3. The sequence is timed twice: without a
# Start Menu group (registry, copy and decode, the list's move into the game:
# the ratio) and with it (plus the shell's folder window and links). Prints
# both and their ratio (target: at most 1.2). Fastest of REPEAT runs on each
# side.
#   WIN_BUILD     win64 build folder (default build/win64)
#   NATIVE_BUILD  native build folder with vexlo-mp3wav (default build/native)
#   REPEAT        runs per side (default 5)
#   TRACK_SECONDS length of each generated track (default 300)
set -eu
cd "$(dirname "$0")/.."
WIN_BUILD=${WIN_BUILD:-build/win64}
NATIVE_BUILD=${NATIVE_BUILD:-build/native}
REPEAT=${REPEAT:-5}
TRACK_SECONDS=${TRACK_SECONDS:-300}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/raw"

[ -f "$WIN_BUILD/CMakeCache.txt" ] || cmake --preset win64 -B "$WIN_BUILD" >/dev/null
build() {
  cmake --build "$@" >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
}
build "$WIN_BUILD" -j2 --target vexlo-install-bench disc
[ -f "$NATIVE_BUILD/CMakeCache.txt" ] || cmake --preset native -B "$NATIVE_BUILD" >/dev/null
build "$NATIVE_BUILD" -j2 --target vexlo-mp3wav

sample_disc=$(sed -n 's/^VEXLO_DISC_DIR:[A-Z]*=//p' "$WIN_BUILD/CMakeCache.txt")
# The game's name, as the build's product gives it.
# shellcheck disable=SC1090
. "./$WIN_BUILD/generated/product.sh"
game=$product_GameExeName

# Four tracks of different music-like signals (chords, a sweep, noise under
# tones), with spaces, capitals, quotes and shell characters in their names.
# Kept between runs.
tracks="$WIN_BUILD/bench-tracks/$TRACK_SECONDS-names"
if [ ! -f "$tracks/done" ]; then
  rm -rf "$tracks" && mkdir -p "$tracks"
  make_track() {
    name=$1
    shift
    sox -q -n -r 44100 -c 2 -b 16 "$work/track.wav" synth "$TRACK_SECONDS" "$@" gain -6
    lame --quiet -b 128 "$work/track.wav" "$tracks/$name"
  }
  make_track "Track 1 - Opening.mp3" sine 220 sine 277 sine 330
  make_track "Track 2 - Long Road & 'Home' \$5.mp3" sine 110-1760 sine 165-2640
  make_track "track 3 (night, \`late\`).MP3" pinknoise sine 440
  make_track "-Track 4 - Ending.mp3" pluck 220 pluck 330
  rm -f "$work/track.wav"
  touch "$tracks/done"
fi
disc="$WIN_BUILD/bench-disc"
rm -rf "$disc" && cp -r "$sample_disc" "$disc"
find "$disc" -iname '*.mp3' -exec rm -f {} +
mkdir -p "$disc/data"
cp "$tracks"/*.mp3 "$tracks"/*.MP3 "$disc/data/"
# A name Windows cannot hold would only show up as a failed install.
sh tools/check-disc-names.sh "$disc" ||
  { echo "bench-install: rename the files above on the disc ($sample_disc)" >&2; exit 1; }
disc=$(cd "$disc" && pwd)
decoder=$(pwd)/$NATIVE_BUILD/bin/vexlo-mp3wav
winpath() { printf 'Z:%s\n' "$1" | tr / '\\'; }

# Destination and Start Menu group on the prefix's drive C:, as for a user.
bench_c="$WIN_BUILD/wineprefix/drive_c/vexlo-bench"
rm -rf "$bench_c" && mkdir -p "$bench_c/dest"
run_install() {
  "$WIN_BUILD/wine-run" "$WIN_BUILD/bin/vexlo-install-bench.exe" "$(winpath "$disc")" \
    'C:\vexlo-bench\dest' "$@" --repeat "$REPEAT" 2>>"$work/install.log" | tr -d '\r' |
    sed -n 's/^install_seconds=//p'
}
install=$(run_install)
install_group=$(run_install --group 'C:\vexlo-bench\Bench Group')
if [ -z "$install" ] || [ -z "$install_group" ]; then
  echo "bench-install: the install run failed:" >&2
  cat "$work/install.log" >&2
  exit 1
fi

# The raw work: the same files the install put into the folder, and the
# same .mp3 files decoded. Names may hold spaces: one name a line.
(cd "$bench_c/dest" && find . -type f | sed 's|^\./||') >"$work/copied"
(cd "$disc" && find . -type f -iname '*.mp3' | sort) >"$work/mp3s"

# The installed game's WAV members are the native decoder's files, byte for byte.
archive_tool="$WIN_BUILD/host-tools/bin/vexlo-archive"
same=0
while IFS= read -r m; do
  member="${m#./}"
  member="${member%.*}.wav"
  "$archive_tool" extract "$bench_c/dest/$game" "$member" "$work/member.wav" >/dev/null &&
    "$decoder" "$disc/$m" "$work/native.wav" >/dev/null 2>&1 &&
    cmp -s "$work/member.wav" "$work/native.wav" && same=$((same + 1))
done <"$work/mp3s"
rm -f "$work/member.wav" "$work/native.wav"
rm -rf "$bench_c"
mp3_count=$(wc -l <"$work/mp3s")
if [ "$same" -ne "$mp3_count" ]; then
  echo "bench-install: only $same of $mp3_count WAV members match vexlo-mp3wav" >&2
  exit 1
fi
now() { date +%s.%N; }
raw=-1
i=0
while [ "$i" -lt "$REPEAT" ]; do
  rm -rf "$work/raw" && mkdir -p "$work/raw"
  start=$(now)
  while IFS= read -r f; do
    if [ -f "$disc/$f" ]; then
      mkdir -p "$work/raw/$(dirname "$f")"
      cp "$disc/$f" "$work/raw/$f"
    fi
  done <"$work/copied"
  n=0
  while IFS= read -r m; do
    n=$((n + 1))
    "$decoder" "$disc/$m" "$work/raw/$n.wav" >/dev/null 2>&1
  done <"$work/mp3s"
  end=$(now)
  raw=$(echo "$raw $start $end" | awk '{ t = $3 - $2; if ($1 < 0 || t < $1) print t; else print $1 }')
  i=$((i + 1))
done

echo "disc: $mp3_count MP3 files, $(du -sk "$disc/data" | cut -f1) KB in data/; WAV members byte-identical to vexlo-mp3wav: $same of $mp3_count"
echo "install sequence, no Start Menu group (wine64, fastest of $REPEAT): ${install} s"
echo "install sequence with the Start Menu group (wine64, fastest of $REPEAT): ${install_group} s"
echo "cp + native vexlo-mp3wav (fastest of $REPEAT): ${raw} s"
echo "$install $install_group $raw" | awk '{
  printf "install ratio: %.2f (target <= 1.2)\n", $1 / $3
  printf "install ratio with shortcuts (shell calls not in the raw work): %.2f\n", $2 / $3 }'
