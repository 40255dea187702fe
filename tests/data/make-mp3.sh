#!/bin/sh
# Regenerates the small test MP3 files in tests/data/mp3 with sox and lame:
# mono and stereo at each of the six sampling rates, joint stereo, and a
# transient signal that makes the encoder switch to short blocks; and in
# tests/data/refused one the installer refuses by name (MPEG 2.5, 8 kHz).
set -eu
cd "$(dirname "$0")/mp3"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# make NAME RATE CHANNELS LAME-MODE BITRATE SOX-SYNTH-ARGS...
make() {
  name=$1 rate=$2 channels=$3 mode=$4 bitrate=$5
  shift 5
  sox -q -n -r "$rate" -c "$channels" -b 16 "$tmp/$name.wav" "$@"
  # Keep the rate: at low bitrates lame would resample on its own.
  khz=$(echo "$rate" | awk '{ printf "%g", $1 / 1000 }')
  lame --quiet -t --noreplaygain --resample "$khz" -m "$mode" -b "$bitrate" "$tmp/$name.wav" "$name.mp3"
}

# MPEG-1: 44.1, 48, 32 kHz.
make stereo-44k 44100 2 s 96 synth 0.6 sine 440 sine 660 fade 0 0.6 0.05
make joint-44k 44100 2 j 64 synth 0.6 sine 300-900 sine 310-910 vol 0.7
make mono-48k 48000 1 m 48 synth 0.5 sine 1000 vol 0.5
make stereo-48k 48000 2 j 80 synth 0.5 pinknoise sine 523 vol 0.4
make mono-32k 32000 1 m 40 synth 0.5 triangle 220 vol 0.6
make stereo-32k 32000 2 s 64 synth 0.5 sine 330 sine 495 vol 0.6
# MPEG-2 low sampling frequencies: 22.05, 24, 16 kHz.
make mono-22k 22050 1 m 32 synth 0.6 sine 700 vol 0.6
make joint-22k 22050 2 j 48 synth 0.6 sine 200-2000 pinknoise vol 0.5
make stereo-24k 24000 2 s 48 synth 0.5 sine 440 sine 880 vol 0.6
make mono-24k 24000 1 m 32 synth 0.5 square 150 vol 0.3
make mono-16k 16000 1 m 24 synth 0.6 sine 400 vol 0.6
make joint-16k 16000 2 j 32 synth 0.6 sine 250 sine 260 vol 0.6
# Clicks over silence: attacks that need short blocks.
make transient-44k 44100 2 j 96 synth 0.8 square 6 vol 0.8
make transient-22k 22050 1 m 48 synth 0.8 square 5 vol 0.8
# MPEG 2.5: lame's only choice at 8 kHz.
make mpeg25-8k 8000 1 m 16 synth 0.5 sine 400 vol 0.6
mv mpeg25-8k.mp3 ../refused/
