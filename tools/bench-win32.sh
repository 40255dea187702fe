#!/bin/bash
# The 32-bit decoder as the disc ships it: vexlo-mp3wav.exe of the win32 build
# under 32-bit Wine against Debian's mpg123 on the same long file (made by
# tools/bench.sh), as median CPU seconds (user + system) over RUNS runs. Wine's
# own start is in the figure (its server is kept running, so it is small).
# Says so and stops where this machine cannot run 32-bit programs.
[ -n "${BASH_VERSION:-}" ] || exec bash "$0" "$@"
set -eu
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
BUILD=build/win32
DATA=build/bench-data
MP3=bench-128k.mp3
AUDIO_SECONDS=200
[ -s "$DATA/$MP3" ] || { echo "bench-win32.sh: $DATA/$MP3 missing (tools/bench.sh makes it)"; exit 1; }
if [ ! -x /usr/lib/wine/wine ]; then
  echo "32-bit decoder: not measured (32-bit Wine, wine32:i386, is not installed)"
  exit 0
fi
[ -f "$BUILD/CMakeCache.txt" ] || cmake --preset win32 >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target vexlo-mp3wav >/dev/null

export WINEPREFIX="$PWD/$BUILD/wineprefix" WINEARCH=win32 WINEDEBUG=-all
[ -f "$WINEPREFIX/system.reg" ] || "$BUILD/wine-run" wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver -p 60
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
TOOL=$PWD/$BUILD/bin/vexlo-mp3wav.exe
cd "$DATA"
if ! /usr/lib/wine/wine "$TOOL" "$MP3" warm32.wav >/dev/null 2>&1; then
  echo "32-bit decoder: not measured (32-bit Wine does not run programs here)"
  exit 0
fi

cpu_seconds() {
  local times=() t run
  local TIMEFORMAT='%U %S'
  for ((run = 0; run < RUNS; run++)); do
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
ours=$(cpu_seconds /usr/lib/wine/wine "$TOOL" "$MP3" ours32.wav)
reference=$(cpu_seconds mpg123 -q -w mpg123.wav "$MP3")
rm -f warm32.wav ours32.wav mpg123.wav
awk -v a="$ours" -v b="$reference" -v s="$AUDIO_SECONDS" -v runs="$RUNS" 'BEGIN {
  printf "vexlo-mp3wav.exe (32-bit, Wine) %6.3f s CPU (median of %d)  %7.1f s of audio per CPU second\n", a, runs, s / a
  printf "mpg123 -q -w (native)           %6.3f s CPU (median of %d)  %7.1f s of audio per CPU second\n", b, runs, s / b
  printf "time ratio (32-bit vexlo-mp3wav.exe / mpg123): %.2f\n", a / b
}'
