#!/bin/bash
# Decoder speed against Debian's mpg123 (run by `make bench` after
# `make native`). Makes a 200-second 44.1 kHz stereo 128 kbit/s MP3 once
# (sox + lame, cached in build/bench-data), decodes it RUNS times (default 5)
# with vexlo-mp3wav and with `mpg123 -q -w`, and reports the median CPU time
# (user + system) of each as seconds of audio per CPU second, and the ratio.
# Then runs the stage micro-benchmarks briefly, the 32-bit decoder, and each
# decoder path against mpg123's of its kind (tools/bench-vs-mpg123.sh).
[ -n "${BASH_VERSION:-}" ] || exec bash "$0" "$@"  # `make bench` runs it with sh
set -eu
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/native}
RUNS=${RUNS:-5}
DATA=build/bench-data
MP3=$DATA/bench-128k.mp3
AUDIO_SECONDS=200
TOOL=$BUILD/bin/vexlo-mp3wav
[ -x "$TOOL" ] || { echo "bench.sh: $TOOL not built (make native)"; exit 1; }
for program in sox lame mpg123; do
  command -v "$program" >/dev/null || { echo "bench.sh: $program missing (make deps)"; exit 1; }
done

mkdir -p "$DATA"
if [ ! -s "$MP3" ]; then
  echo "making $MP3 (${AUDIO_SECONDS} s)"
  # Plucked chords over a sweep and pink noise: every Huffman table gets work.
  sox -q -n -r 44100 -c 2 -b 16 "$DATA/bench.wav" synth "$AUDIO_SECONDS" \
    pluck C3 pluck E4 sine 440-880 pinknoise tremolo 3 40 vol 0.5
  lame --quiet -t --noreplaygain --resample 44.1 -m j -b 128 "$DATA/bench.wav" "$MP3"
  rm -f "$DATA/bench.wav"
fi

# Median CPU seconds (user + system) of a command over RUNS runs.
cpu_seconds() {
  local times=()
  local TIMEFORMAT='%U %S'
  for ((run = 0; run < RUNS; run++)); do
    local t
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

OUT=$DATA/out
mkdir -p "$OUT"
# Warms the file cache; the timed runs below do not look at exit codes.
"$TOOL" "$MP3" "$OUT/warm.wav" >/dev/null || { echo "bench.sh: $TOOL fails on $MP3" >&2; exit 1; }
ours=$(cpu_seconds "$TOOL" "$MP3" "$OUT/ours.wav")
reference=$(cpu_seconds mpg123 -q -w "$OUT/mpg123.wav" "$MP3")
rm -f "$OUT"/*.wav

echo "input: $MP3 (${AUDIO_SECONDS} s of audio, 44.1 kHz stereo, 128 kbit/s)"
awk -v a="$ours" -v b="$reference" -v s="$AUDIO_SECONDS" -v runs="$RUNS" 'BEGIN {
  printf "vexlo-mp3wav   %6.3f s CPU (median of %d)  %7.1f s of audio per CPU second\n", a, runs, s / a
  printf "mpg123 -q -w   %6.3f s CPU (median of %d)  %7.1f s of audio per CPU second\n", b, runs, s / b
  printf "time ratio (vexlo-mp3wav / mpg123): %.2f\n", a / b
}'

if [ -x "$BUILD/bin/mpeg_bench" ]; then
  VEXLO_BENCH_MP3="$MP3" "$BUILD/bin/mpeg_bench" --benchmark_min_time=0.2 2>/dev/null
fi

echo
echo "== the 32-bit decoder of the disc under 32-bit Wine against mpg123"
bash tools/bench-win32.sh

echo
echo "== each decoder path against mpg123's of its kind, on music-like files not the bench's own"
bash tools/bench-vs-mpg123.sh

echo
echo "== installation of a disc with 20 minutes of MP3 against cp + vexlo-mp3wav"
sh tools/bench-install.sh
