#!/bin/sh
# tools/check-disc-names.sh: names a Windows disc holds pass, whatever the
# shell makes of them; each name it cannot hold is reported, and only those.
set -u
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/disc/data/My Music" "$work/disc/DXSetup/DirectX"
for name in "Read Me.txt" "It's here (v2) & more.txt" '$HOME `id`.cfg' "-n" "Ünïcödé.txt" \
  "data/Track 1 - Opening.MP3" "data/My Music/Boss.Theme.mp3" "data/;semi;colon.mp3"; do
  : >"$work/disc/$name"
done
sh "$check" "$work/disc" >"$work/out" 2>&1 || fail "good names refused: $(cat "$work/out")"
[ -s "$work/out" ] && fail "good names gave output: $(cat "$work/out")"

: >"$work/disc/data/Boss \"Final\".mp3"
: >"$work/disc/What?.txt"
: >"$work/disc/data/My Music/tab$(printf '\t')name.mp3"
: >"$work/disc/trailing."
if sh "$check" "$work/disc" >"$work/out" 2>&1; then fail "bad names passed"; fi
for name in 'data/Boss "Final".mp3' 'What?.txt' "data/My Music/tab$(printf '\t')name.mp3" \
  'trailing.'; do
  grep -qF "\"$name\": a Windows disc cannot hold this name" "$work/out" || fail "not named: $name"
done
[ "$(wc -l <"$work/out")" -eq 4 ] || fail "expected four lines: $(cat "$work/out")"

sh "$check" "$work/missing" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a missing folder is not a usage error"

[ "$failures" -eq 0 ] && echo "all disc name checks passed"
exit "$failures"
