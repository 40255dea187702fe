#!/bin/sh
# Makes Starfall's music (starfall/content/data) as a publisher's encoder and
# tagger would write it, with sox and lame: ID3v2 tags in Latin-1 (lame's
# default, with its Info frame), UTF-16 ID3v2 text frames, an ID3v1 tag only,
# an upper-case .MP3 extension and a space in a name. A few seconds each.
# The files are committed; run this only to make them again.
set -eu
out="$(cd "$(dirname "$0")" && pwd)/starfall/content/data"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
rm -f "$out"/*.mp3 "$out"/*.MP3

sox -q -n -r 44100 -c 2 -b 16 "$tmp/theme.wav" synth 2.5 sine 220 sine 330 \
  tremolo 3 40 fade 0.2 2.5 0.4 vol 0.6
sox -q -n -r 22050 -c 1 -b 16 "$tmp/drift.wav" synth 3 sine 150-600 vol 0.5 fade 0 3 0.5
sox -q -n -r 32000 -c 2 -b 16 "$tmp/dock.wav" synth 2 triangle 440 sine 660 vol 0.5
sox -q -n -r 44100 -c 2 -b 16 "$tmp/boss.wav" synth 2 square 110 pinknoise vol 0.3 \
  fade 0 2 0.3

enc() { lame --quiet --noreplaygain "$@"; }
# ID3v2 only, Latin-1 frames, padded as some taggers leave room for edits.
enc -b 96 --id3v2-only --pad-id3v2-size 512 --tt "Starfall Theme" --ta "Kestrel Works" \
  --tl "Starfall" --ty 1998 --tn 1 "$tmp/theme.wav" "$out/theme.mp3"
# A space in the name; its title and artist outside Latin-1: UTF-16 frames
# with a byte order mark. MPEG-2 (22.05 kHz), mono, VBR.
enc -V 6 -m m --id3v2-utf16 --tt "Deep Space Ωrbit ☆" --ta "Kestrel Wørks" \
  "$tmp/drift.wav" "$out/Deep Space.mp3"
# An ID3v1 tag at the end, nothing at the start.
enc -b 64 --id3v1-only --tt "Docking" --ta "Kestrel Works" "$tmp/dock.wav" "$out/docking.mp3"
# Upper-case extension, as an old DOS tool names its output; both tags.
enc -b 80 --add-id3v2 --tt "Raider Boss" "$tmp/boss.wav" "$out/BOSS.MP3"
ls -l "$out"
