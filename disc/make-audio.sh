#!/bin/sh
# Regenerates the sample disc's music (data/*.mp3): short pieces synthesised
# with sox and encoded with lame. Repeatable: sox runs with a fixed random seed.
#   title.mp3   MPEG-1, 44.1 kHz, joint stereo, 128 kbit/s: chords over a bass
#   level1.mp3  MPEG-1, 44.1 kHz, stereo, 160 kbit/s: arpeggio with drums
#   menu.mp3    MPEG-2, 22.05 kHz, mono, 48 kbit/s: a slow melody on a pad
set -eu
cd "$(dirname "$0")/product/content"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
SOX="sox -R -q"

# tone FILE RATE SECONDS WAVE NOTE VOLUME: one faded note, mono.
tone() {
  $SOX -n -r "$2" -c 1 "$1" synth "$3" "$4" "$5" fade 0.005 "$3" 0.08 vol "$6"
}

# ---- title: Am F C G, 1.5 s each, plucked chords spread across the stereo field
chords="A3:C4:E4:A2 F3:A3:C4:F2 C4:E4:G4:C3 G3:B3:D4:G2"
i=0
for chord in $chords; do
  set -- $(echo "$chord" | tr ':' ' ')
  tone "$work/l1.wav" 44100 1.5 pluck "$1" 0.5
  tone "$work/l2.wav" 44100 1.5 pluck "$2" 0.4
  tone "$work/r1.wav" 44100 1.5 pluck "$3" 0.5
  tone "$work/r2.wav" 44100 1.5 pluck "%-2" 0.2  # a soft G4 colours every chord
  tone "$work/bass.wav" 44100 1.5 sine "$4" 0.6
  $SOX -m "$work/l1.wav" "$work/l2.wav" "$work/bass.wav" "$work/left.wav"
  $SOX -m "$work/r1.wav" "$work/r2.wav" "$work/bass.wav" "$work/right.wav"
  $SOX -M "$work/left.wav" "$work/right.wav" "$work/chord$i.wav"
  i=$((i + 1))
done
$SOX "$work"/chord0.wav "$work"/chord1.wav "$work"/chord2.wav "$work"/chord3.wav \
  "$work/title.wav" reverb 40 gain -n -2 fade 0 6 0.8
lame --quiet --noreplaygain -m j -b 128 "$work/title.wav" data/title.mp3

# ---- level1: 120 bpm, sixteenth-note arpeggio over four chords, kick/snare/hat
arpeggio="A3 C4 E4 A4 E4 C4 A3 C4 E4 A4 F3 A3 C4 F4 C4 A3 F3 A3 C4 F4 \
C4 E4 G4 C5 G4 E4 C4 E4 G4 C5 G3 B3 D4 G4 D4 B3 G3 B3 D4 G4"
n=0
list=""
for note in $arpeggio; do
  tone "$work/a$n.wav" 44100 0.125 square "$note" 0.18
  list="$list $work/a$n.wav"
  n=$((n + 1))
done
# shellcheck disable=SC2086
$SOX $list "$work/arp.wav"
$SOX -n -r 44100 -c 1 "$work/kick.wav" synth 0.3 sine 150-40 fade 0 0.3 0.25 vol 0.9
$SOX -n -r 44100 -c 1 "$work/snare.wav" synth 0.18 noise lowpass 5000 fade 0 0.18 0.15 vol 0.5
$SOX -n -r 44100 -c 1 "$work/hat.wav" synth 0.05 noise vol 0.3 highpass 7000 fade 0 0.05 0.045
hits=""
beat=0
while [ $beat -lt 20 ]; do
  at=$((beat / 4)).$(((beat % 4) * 25))
  $SOX "$work/hat.wav" "$work/h$beat.wav" pad "$at"
  hits="$hits $work/h$beat.wav"
  case $((beat % 4)) in
    0) $SOX "$work/kick.wav" "$work/k$beat.wav" pad "$at"; hits="$hits $work/k$beat.wav" ;;
    2) $SOX "$work/snare.wav" "$work/s$beat.wav" pad "$at"; hits="$hits $work/s$beat.wav" ;;
  esac
  beat=$((beat + 1))
done
# shellcheck disable=SC2086
$SOX -m $hits "$work/drums.wav"
$SOX "$work/arp.wav" "$work/arp2.wav" remix 1v0.9 1v0.5
$SOX "$work/drums.wav" "$work/drums2.wav" remix 1v0.6 1v0.8
$SOX -m "$work/arp2.wav" "$work/drums2.wav" "$work/level1.wav" gain -n -1
lame --quiet --noreplaygain -m s -b 160 "$work/level1.wav" data/level1.mp3

# ---- menu: 22.05 kHz mono, triangle melody over a soft pad, with tremolo
melody="E4 G4 A4 B4 A4 G4 E4 D4"
list=""
n=0
for note in $melody; do
  tone "$work/m$n.wav" 22050 0.5 triangle "$note" 0.4
  list="$list $work/m$n.wav"
  n=$((n + 1))
done
# shellcheck disable=SC2086
$SOX $list "$work/melody.wav"
$SOX -n -r 22050 -c 1 "$work/pad.wav" synth 4 sine E3 sine B3 remix - fade 0.5 4 1 vol 0.3
$SOX -m "$work/melody.wav" "$work/pad.wav" "$work/menu.wav" tremolo 5 30 gain -n -2
lame --quiet --noreplaygain -m m -b 48 "$work/menu.wav" data/menu.mp3

ls -l data/*.mp3
