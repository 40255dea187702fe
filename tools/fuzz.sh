#!/bin/sh
# Runs the MP3 decoder fuzz target (built by `make fuzz-build` in build/fuzz)
# for a bounded time: FUZZ_SECONDS (default 180). The corpus grows in
# build/fuzz/corpus/mp3, seeded from tests/data/mp3, the regression inputs
# and, when present, the compliance vectors in ../shared/vectors.
set -eu
cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD:-build/fuzz}
SECONDS_TO_RUN=${FUZZ_SECONDS:-180}
FUZZER="$BUILD/bin/mp3_fuzzer"
[ -x "$FUZZER" ] || { echo "fuzz.sh: $FUZZER not built (make fuzz-build)"; exit 1; }
CORPUS="$BUILD/corpus/mp3"
SEEDS="$BUILD/corpus/mp3-seeds"
mkdir -p "$CORPUS" "$SEEDS" "$BUILD/artifacts"
cp tests/data/mp3/*.mp3 "$SEEDS/" 2>/dev/null || true
cp tests/mpeg/regressions/* "$SEEDS/" 2>/dev/null || true
if [ -d ../shared/vectors ]; then
  for f in ../shared/vectors/*.bit; do
    # Whole vectors are large; their first 12 KB show every kind of frame start.
    head -c 12288 "$f" >"$SEEDS/$(basename "$f" .bit).mp3"
  done
fi
echo "fuzzing for ${SECONDS_TO_RUN}s"
ASAN_OPTIONS=detect_leaks=1 "$FUZZER" -max_total_time="$SECONDS_TO_RUN" -max_len=32768 \
  -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$BUILD/artifacts/" -print_final_stats=1 \
  "$CORPUS" "$SEEDS" 2>&1 | grep -E "^#[0-9]+ *(INITED|DONE)|stat::|ERROR|SUMMARY|artifact" || true
if ls "$BUILD"/artifacts/crash-* "$BUILD"/artifacts/leak-* "$BUILD"/artifacts/timeout-* >/dev/null 2>&1; then
  echo "fuzz.sh: findings in $BUILD/artifacts"
  exit 1
fi
echo "fuzz.sh: no findings"
