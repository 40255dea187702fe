#!/bin/sh
# Runs every fuzz target (built by `make fuzz-build` in build/fuzz) for
# FUZZ_SECONDS each (default 60); FUZZ_TARGETS picks some of them. Corpora
# grow in build/fuzz/corpus/<target>, seeded from the project's own files:
# tests/data/mp3, tagged MP3s made now by tests/data/make-tagged-mp3.sh,
# archives made by zip and by vexlo-archive, the path texts of the removal
# rules' tests as a list, and the kept regression inputs.
# Fails when any target leaves a crash, leak, timeout or out-of-memory input
# in build/fuzz/artifacts/<target>.
set -eu
cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD:-build/fuzz}
SECONDS_TO_RUN=${FUZZ_SECONDS:-60}
TARGETS=${FUZZ_TARGETS:-mp3 tagged_mp3 archive gamekit removal}
SEEDS="$BUILD/corpus/seeds"
REGRESSIONS=tests/fuzz_regressions

# Tagged files as encoders and taggers write them; made once per build folder.
tagged_files() {
  if [ ! -f "$SEEDS/tagged-made/two-tags.mp3" ]; then
    rm -rf "$SEEDS/tagged-made"
    sh tests/data/make-tagged-mp3.sh "$SEEDS/tagged-made" >/dev/null 2>&1 ||
      echo "fuzz.sh: make-tagged-mp3.sh failed; tagged seeds are missing"
  fi
  ls "$SEEDS"/tagged-made/*.mp3 2>/dev/null || true
}

seed_mp3() {
  out=$1
  cp tests/data/mp3/*.mp3 "$out/"
  cp tests/mpeg/regressions/* "$out/" 2>/dev/null || true
  for f in $(tagged_files); do cp "$f" "$out/tagged-$(basename "$f")"; done
  if [ -d ../shared/vectors ]; then
    for f in ../shared/vectors/*.bit; do
      # Whole vectors are large; their first 12 KB show every kind of frame start.
      head -c 12288 "$f" >"$out/$(basename "$f" .bit).mp3"
    done
  fi
}

# The tagged target reads a flags byte, a body length and a shape byte first:
# zero flags take the rest as the file, some flags wrap it in tags.
seed_tagged_mp3() {
  out=$1
  for f in $(tagged_files) tests/data/mp3/mono-22k.mp3 tests/data/mp3/stereo-44k.mp3; do
    name=$(basename "$f" .mp3)
    { printf '\000\000\000'; cat "$f"; } >"$out/$name"
    { printf '\201\020\002'; printf 'TIT2\000\000\000\006\000\000\003Tone\377\373'; cat "$f"; } \
      >"$out/$name-front"
    { printf '\072\014\000'; printf 'Title\377\373\220d..'; cat "$f"; } >"$out/$name-behind"
  done
  cp "$REGRESSIONS"/tagged_mp3/* "$out/" 2>/dev/null || true
}

seed_archive() {
  out=$1
  work=$(mktemp -d)
  mkdir -p "$work/files/Data/Levels"
  printf 'Vexlo configuration\r\nlevel=1\r\n' >"$work/files/Vexlo.cfg"
  head -c 700 tests/data/mp3/mono-16k.mp3 >"$work/files/Data/Levels/level1.mp3"
  printf '' >"$work/files/empty.txt"
  # Stored members as zip writes them, with and without a trailing comment.
  (cd "$work/files" && zip -q -0 -X -r ../stored.zip . && zip -q -0 -X ../one.zip Vexlo.cfg)
  cp "$work/stored.zip" "$work/commented.zip"
  echo "a comment after the end record" | zip -q -z "$work/commented.zip"
  cp "$work/stored.zip" "$work/one.zip" "$work/commented.zip" "$out/"
  # An empty archive: only an end record, as vexlo-archive init leaves one.
  printf 'PK\005\006\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000' \
    >"$out/empty.zip"
  tool="$BUILD/bin/vexlo-archive"
  if [ -x "$tool" ]; then
    printf 'MZ stand-in program bytes' >"$work/game.exe"
    "$tool" init "$work/game.exe" >/dev/null
    "$tool" add "$work/game.exe" "$work/files/Vexlo.cfg" "Vexlo.cfg" >/dev/null
    "$tool" add "$work/game.exe" "$work/files/empty.txt" "saves/slot1.sav" >/dev/null
    cp "$work/game.exe" "$out/own-end-record.exe"
  fi
  rm -rf "$work"
  cp "$REGRESSIONS"/archive/* "$out/" 2>/dev/null || true
}

# Uninstall lists: every quoted text of the line rules' tests, one a line,
# with the installation's folders of the target's default roots.
seed_removal() {
  out=$1
  grep -o '"[^"]*"' tests/uninstaller/removal_rules_test.cpp | sed 's/^"//; s/"$//; s/\\\\/\\/g' \
    >"$out/rules-test-texts.txt"
  cp "$REGRESSIONS"/removal/* "$out/"
}

status=0
for target in $TARGETS; do
  fuzzer="$BUILD/bin/${target}_fuzzer"
  [ -x "$fuzzer" ] || { echo "fuzz.sh: $fuzzer not built (make fuzz-build)"; exit 1; }
  corpus="$BUILD/corpus/$target"
  seeds="$SEEDS/$target"
  artifacts="$BUILD/artifacts/$target"
  rm -rf "$seeds" "$artifacts"
  mkdir -p "$corpus" "$seeds" "$artifacts"
  case $target in
    mp3) seed_mp3 "$seeds"; dict=fuzz/mp3.dict; max_len=32768 ;;
    tagged_mp3) seed_tagged_mp3 "$seeds"; dict=fuzz/mp3.dict; max_len=65536 ;;
    archive) seed_archive "$seeds"; dict=fuzz/archive.dict; max_len=16384 ;;
    gamekit) seed_archive "$seeds"; dict=fuzz/archive.dict; max_len=16384 ;;
    removal) seed_removal "$seeds"; dict=fuzz/removal.dict; max_len=4096 ;;
    *) echo "fuzz.sh: no such target: $target"; exit 1 ;;
  esac
  echo "== $target: fuzzing for ${SECONDS_TO_RUN}s"
  log="$BUILD/artifacts/$target.log"
  ASAN_OPTIONS=detect_leaks=1 "$fuzzer" -max_total_time="$SECONDS_TO_RUN" -max_len="$max_len" \
    -dict="$dict" -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$artifacts/" \
    -print_final_stats=1 "$corpus" "$seeds" >"$log" 2>&1 || true
  grep -E "^#[0-9]+[[:space:]]*(INITED|DONE)|stat::(number_of_executed_units|new_units_added)|ERROR|SUMMARY|artifact" \
    "$log" || true
  for finding in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* \
    "$artifacts"/oom-*; do
    [ -e "$finding" ] || continue
    echo "fuzz.sh: $target: finding $finding (log: $log)"
    status=1
  done
done
[ $status -eq 0 ] && echo "fuzz.sh: no findings"
exit $status
