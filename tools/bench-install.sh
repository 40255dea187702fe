#!/bin/sh
# Times the install sequence alone (no wizard, under wine64) on the sample
# disc, against the raw work it cannot avoid: cp of the files it copies and
# the native vexlo-mp3wav decode of each .mp3. The sequence is timed twice:
# without a Start Menu group (registry, copy and decode, the list's move into
# the game: the ratio) and with it (plus the shell's folder window and links). Prints both and their ratio
# (target: at most 1.3). Fastest of REPEAT runs on each side.
#   WIN_BUILD     win64 build folder (default build/win64)
#   NATIVE_BUILD  native build folder with vexlo-mp3wav (default build/native)
#   REPEAT        runs per side (default 9)
set -eu
cd "$(dirname "$0")/.."
WIN_BUILD=${WIN_BUILD:-build/win64}
NATIVE_BUILD=${NATIVE_BUILD:-build/native}
REPEAT=${REPEAT:-9}

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

disc=$(sed -n 's/^VEXLO_DISC_DIR:[A-Z]*=//p' "$WIN_BUILD/CMakeCache.txt")
decoder=$(pwd)/$NATIVE_BUILD/bin/vexlo-mp3wav
winpath() { echo "Z:$1" | tr / '\\'; }

# Destination and Start Menu group on the prefix's drive C:, as for a user.
bench_c="$WIN_BUILD/wineprefix/drive_c/vexlo-bench"
rm -rf "$bench_c" && mkdir -p "$bench_c/dest"
run_install() {
  "$WIN_BUILD/wine-run" "$WIN_BUILD/bin/vexlo-install-bench.exe" "$(winpath "$disc")" \
    'C:\vexlo-bench\dest' "$@" --repeat "$REPEAT" 2>/dev/null | tr -d '\r' |
    sed -n 's/^install_seconds=//p'
}
install=$(run_install)
install_group=$(run_install --group 'C:\vexlo-bench\Vexlo Demo')
[ -n "$install" ] && [ -n "$install_group" ] || { echo "bench-install: the install run failed" >&2; exit 1; }

# The raw work: the same files the install put into the folder, and the
# same .mp3 files decoded.
copied=$(cd "$bench_c/dest" && ls)
rm -rf "$bench_c"
mp3s=$(cd "$disc" && find . -iname '*.mp3' | sort)
now() { date +%s.%N; }
raw=-1
i=0
while [ "$i" -lt "$REPEAT" ]; do
  rm -rf "$work/raw" && mkdir -p "$work/raw"
  start=$(now)
  for f in $copied; do
    [ -f "$disc/$f" ] && cp "$disc/$f" "$work/raw/$f"
  done
  for m in $mp3s; do
    "$decoder" "$disc/$m" "$work/raw/$(basename "$m" .mp3).wav" >/dev/null 2>&1
  done
  end=$(now)
  raw=$(echo "$raw $start $end" | awk '{ t = $3 - $2; if ($1 < 0 || t < $1) print t; else print $1 }')
  i=$((i + 1))
done

echo "install sequence, no Start Menu group (wine64, fastest of $REPEAT): ${install} s"
echo "install sequence with the Start Menu group (wine64, fastest of $REPEAT): ${install_group} s"
echo "cp + native vexlo-mp3wav (fastest of $REPEAT): ${raw} s"
echo "$install $install_group $raw" | awk '{
  printf "install ratio: %.2f (target <= 1.3)\n", $1 / $3
  printf "install ratio with shortcuts (shell calls not in the raw work): %.2f\n", $2 / $3 }'
