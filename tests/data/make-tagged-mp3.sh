#!/bin/sh
# Makes MP3 files as encoders and taggers commonly write them, into OUTDIR:
# ID3v2 titles in UTF-16, a cover picture, a padded tag, ID3v1, VBR, CRC,
# mono, the encoder's info frame, and tags written by hand (APE, Lyrics3,
# ID3v2.2, ID3v2.4 with extended header and footer, two tags in a row).
# Needs sox, lame and ImageMagick's convert. The decoder tests run it.
set -eu
out=$1
mkdir -p "$out"
cd "$out"

sox -q -n -r 44100 -c 2 -b 16 tone.wav synth 0.7 sine 440 sine 554 fade 0 0.7 0.05 vol 0.6
sox -q -n -r 44100 -c 1 -b 16 mono.wav synth 0.7 sine 330 vol 0.6
sox -q -n -r 22050 -c 2 -b 16 low.wav synth 0.7 sine 300-3000 pinknoise vol 0.5
# A picture small enough to keep the test quick, still several kilobytes.
convert -size 48x48 plasma:fractal -quality 90 cover.jpg

enc() { lame --quiet --noreplaygain "$@"; }
# The title has non-Latin-1 characters: lame writes it as UTF-16 with a
# byte order mark (FF FE).
enc -b 128 --id3v2-utf16 --tt "Ǿverture ☺" --ta "Vexlo" tone.wav utf16-title.mp3
enc -b 128 --id3v2-only --tt "Cover" --ti cover.jpg tone.wav picture.mp3
enc -b 128 --pad-id3v2-size 3000 --tt "Padded" tone.wav padded.mp3
enc -b 128 --id3v1-only --tt "Old tag" --ta "Vexlo" tone.wav id3v1.mp3
enc -b 128 --add-id3v2 --tt "Both tags" tone.wav id3v1-and-v2.mp3
enc -V 2 --tt "VBR" tone.wav vbr.mp3
enc -V 5 -m m mono.wav vbr-mono.mp3
enc -b 96 -p tone.wav crc.mp3
enc -b 64 -m m mono.wav mono.mp3
enc -b 128 tone.wav info-frame.mp3
enc -b 48 --resample 22.05 low.wav info-frame-22k.mp3
enc -b 128 -t tone.wav no-info-frame.mp3

# An APE tag v2 (header, one item, footer) after the audio, then ID3v1.
ape_item=$(printf 'Title')
{
  cat info-frame.mp3
  printf 'APETAGEX'; printf '\320\007\000\000'; printf '\063\000\000\000'
  printf '\001\000\000\000'; printf '\000\000\000\240'; printf '\000\000\000\000\000\000\000\000'
  printf '\005\000\000\000\000\000\000\000%s\000Hello' "$ape_item"
  printf 'APETAGEX'; printf '\320\007\000\000'; printf '\063\000\000\000'
  printf '\001\000\000\000'; printf '\000\000\000\200'; printf '\000\000\000\000\000\000\000\000'
} > ape.mp3

# A Lyrics3 v2 block followed by an ID3v1 tag.
tag128() { printf 'TAG%-30s%-30s%-30s%-4s%-30s\377' "$1" "Vexlo" "" "2026" ""; }
{
  cat no-info-frame.mp3
  body='LYRICSBEGININD0000211LYR00005Hello'
  printf '%s%06dLYRICS200' "$body" "${#body}"
  tag128 "Lyrics"
} > lyrics3.mp3

# ID3v2 tags written by hand: syncsafe size in bytes 6 to 9.
syncsafe() {
  n=$1
  printf "\\$(printf '%03o' $(((n >> 21) & 127)))\\$(printf '%03o' $(((n >> 14) & 127)))"
  printf "\\$(printf '%03o' $(((n >> 7) & 127)))\\$(printf '%03o' $((n & 127)))"
}
# v2.2: a TT2 frame (6-byte frame header) whose text holds FF FB bytes.
v22() {
  printf 'ID3\002\000\000'; syncsafe 20
  printf 'TT2\000\000\016\000Title \377\373\220\144\000\000\000'
}
# v2.4 with an extended header (flag 0x40) and a footer (flag 0x10).
v24() {
  printf 'ID3\004\000\120'; syncsafe 30
  printf '\000\000\000\006\001\000'
  printf 'TIT2\000\000\000\010\000\000\003FF FB\377\373'
  printf '\000\000\000\000\000\000'
  printf '3DI\004\000\120'; syncsafe 30
}
{ v22; cat no-info-frame.mp3; } > id3v22.mp3
{ v24; cat no-info-frame.mp3; } > id3v24-footer.mp3
# Two tags in a row, as some taggers leave them.
{ v24; cat utf16-title.mp3; } > two-tags.mp3

# Free format (bitrate index 0): the frame length only shows from one
# header to the next. At each MPEG-1 rate, beyond 320 kbit/s, mono, with
# check words, and at a low sampling frequency.
sox -q -n -r 48000 -c 2 -b 16 tone48.wav synth 0.7 sine 523 pinknoise vol 0.4
sox -q -n -r 32000 -c 2 -b 16 tone32.wav synth 0.7 sine 220-2200 sine 330 vol 0.5
enc --freeformat -b 200 tone.wav free-44k-200.mp3
enc --freeformat -b 640 tone.wav free-44k-640.mp3
enc --freeformat -b 256 tone48.wav free-48k-256.mp3
enc --freeformat -b 640 tone32.wav free-32k-640.mp3
enc --freeformat -b 100 -m m mono.wav free-mono-100.mp3
enc --freeformat -b 160 -p tone.wav free-crc-160.mp3
enc --freeformat -b 96 low.wav free-22k-96.mp3
