#!/bin/bash
# Each decoder path against the mpg123 decoder of its kind, side by side, on
# music-like files that are not the bench's own: 128 kbit/s joint stereo,
# 320 kbit/s and VBR (-V 2), made once with sox and lame (build/bench-data).
#   x87    the win32 build's plain copy (VEXLO_MPEG_PLAIN) under 32-bit Wine
#          against Debian's i386 mpg123 --cpu i586
#   SSE2   the win32 build's SSE2 copy under 32-bit Wine against --cpu SSE
#   64-bit the native build against the installed (amd64) mpg123
# Debian's i386 mpg123 is unpacked into build/mpg123-i386 (apt-get download
# and dpkg -x: nothing is installed) and run with its own libraries; it needs
# the i386 C library, which 32-bit Wine brings. The runs alternate, A B A B,
# and each pair gives a ratio of CPU times (user + system): the table shows
# the median CPU seconds of each and the median of the pair ratios.
[ -n "${BASH_VERSION:-}" ] || exec bash "$0" "$@"
set -eu
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
SECONDS_OF_AUDIO=${SECONDS_OF_AUDIO:-300}
DATA=build/bench-data
I386=build/mpg123-i386
NATIVE=${NATIVE_BUILD:-build/native}
WIN32=build/win32

for program in sox lame mpg123; do
  command -v "$program" >/dev/null || { echo "bench-vs-mpg123: $program missing (make deps)"; exit 1; }
done
mkdir -p "$DATA"
# Plucked strings, a bass, a sweep and a little noise with a tremolo: not the
# bench's own signal.
for kind in 128j 320 vbr; do
  mp3=$DATA/music-$kind.mp3
  [ -s "$mp3" ] && continue
  echo "making $mp3 (${SECONDS_OF_AUDIO} s)"
  case $kind in
    128j) options="-m j -b 128" ;;
    320) options="-b 320" ;;
    vbr) options="-V 2" ;;
  esac
  # shellcheck disable=SC2086
  sox -q -n -r 44100 -c 2 -b 16 -t wav - synth "$SECONDS_OF_AUDIO" pluck A2 pluck C4 pluck E4 \
    square 110 sine 220-660 brownnoise tremolo 5 30 vol 0.4 2>/dev/null |
    lame --quiet --noreplaygain $options - "$mp3.part"
  mv "$mp3.part" "$mp3"
done

if [ ! -x "$I386/root/usr/bin/mpg123.bin" ]; then
  mkdir -p "$I386"
  (cd "$I386" && apt-get download mpg123:i386 libmpg123-0:i386 libout123-0:i386 \
    libsyn123-0:i386 >/dev/null 2>&1 && for deb in ./*.deb; do dpkg -x "$deb" root; done) ||
    echo "bench-vs-mpg123: Debian's i386 mpg123 could not be fetched: the 32-bit rows are left out"
fi
I386_MPG123=$PWD/$I386/root/usr/bin/mpg123.bin
I386_LIBS=$PWD/$I386/root/usr/lib/i386-linux-gnu

[ -x "$NATIVE/bin/vexlo-mp3wav" ] || { echo "bench-vs-mpg123: $NATIVE not built (make native)"; exit 1; }
have32=0
if [ -x /usr/lib/wine/wine ] && [ -x "$I386_MPG123" ]; then
  [ -f "$WIN32/CMakeCache.txt" ] || cmake --preset win32 >/dev/null
  cmake --build "$WIN32" -j2 --target vexlo-mp3wav >/dev/null
  export WINEPREFIX="$PWD/$WIN32/wineprefix" WINEARCH=win32 WINEDEBUG=-all
  [ -f "$WINEPREFIX/system.reg" ] || "$WIN32/wine-run" wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver -p 60 2>/dev/null || true  # already running: fine
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
  have32=1
fi
TOOL32=$PWD/$WIN32/bin/vexlo-mp3wav.exe
TOOL64=$PWD/$NATIVE/bin/vexlo-mp3wav
OUT=$PWD/$DATA/out
mkdir -p "$OUT"

# CPU seconds (user + system) of one run of the command.
cpu_once() {
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# pair LABEL REFERENCE-LABEL FILE -- A... -- B...: A and B in turn.
pair() {
  local label=$1 reference=$2 file=$3
  shift 4
  local a=() b=()
  while [ "$1" != "--" ]; do a+=("$1"); shift; done
  shift
  b=("$@")
  local ta=() tb=() ratios=() run x y
  "${a[@]}" >/dev/null 2>&1 || { echo "bench-vs-mpg123: $label fails on $file"; return; }
  "${b[@]}" >/dev/null 2>&1 || { echo "bench-vs-mpg123: $reference fails on $file"; return; }
  for ((run = 0; run < RUNS; run++)); do
    x=$(cpu_once "${a[@]}")
    y=$(cpu_once "${b[@]}")
    ta+=("$x")
    tb+=("$y")
    ratios+=("$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.3f", (y > 0 ? x / y : 0) }')")
  done
  printf '%-26s %-7s %7.3f s   %-22s %7.3f s   %5.2f\n' "$(basename "$file")" "$label" \
    "$(printf '%s\n' "${ta[@]}" | median)" "$reference" "$(printf '%s\n' "${tb[@]}" | median)" \
    "$(printf '%s\n' "${ratios[@]}" | median)"
}

echo "CPU seconds (user + system), medians of $RUNS runs taken in turn; ratio: median of the pairs"
printf '%-26s %-7s %9s   %-22s %9s   %5s\n' file ours CPU mpg123 CPU ratio
for kind in 128j 320 vbr; do
  mp3=$PWD/$DATA/music-$kind.mp3
  if [ "$have32" = 1 ]; then
    pair x87 "i386 --cpu i586" "$mp3" -- env VEXLO_MPEG_PLAIN=1 /usr/lib/wine/wine "$TOOL32" \
      "$mp3" "$OUT/x87.wav" -- env LD_LIBRARY_PATH="$I386_LIBS" "$I386_MPG123" -q --cpu i586 \
      -w "$OUT/i586.wav" "$mp3"
    pair SSE2 "i386 --cpu SSE" "$mp3" -- /usr/lib/wine/wine "$TOOL32" "$mp3" "$OUT/sse2.wav" \
      -- env LD_LIBRARY_PATH="$I386_LIBS" "$I386_MPG123" -q --cpu SSE -w "$OUT/sse.wav" "$mp3"
  fi
  pair 64-bit "amd64" "$mp3" -- "$TOOL64" "$mp3" "$OUT/native.wav" -- mpg123 -q \
    -w "$OUT/amd64.wav" "$mp3"
done
rm -f "$OUT"/*.wav
[ "$have32" = 1 ] || echo "(32-bit rows left out: no 32-bit Wine or no i386 mpg123 here)"
