#!/bin/sh
# Runs every test: the portable core natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows programs and their tests under wine64
# inside Xvfb, and the 32-bit disc target (build, import check, its tests under
# 32-bit Wine where the machine runs 32-bit programs: tools/test-win32.sh).
# Ends with one summary line: "N passed, M failed, K skipped".
set -u
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
failed_steps=""
passed=0
failed=0
skipped=0
parts=""  # what the totals are made of, for the summary line

step() { echo; echo "== $*"; }

# Adds the counts of a ctest log to the totals.
count() {
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    failed_steps="$failed_steps $2"
    return
  fi
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  parts="$parts, $total $3"
  [ "$bad" -eq 0 ] || failed_steps="$failed_steps $2"
}

# Adds the counts of a stage script's last line ("NAME: P passed, F failed,
# S skipped") to the totals, after showing its log.
count_stage() {
  cat "$1"
  line=$(tail -n 1 "$1" | grep -E '^[a-z0-9]+: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$')
  if [ -z "$line" ]; then
    failed=$((failed + 1)); failed_steps="$failed_steps $2"; return
  fi
  # shellcheck disable=SC2046 # three numbers, split on purpose
  set -- "$@" $(echo "$line" | sed -E 's/.*: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped/\1 \2 \3/')
  passed=$((passed + $4)); failed=$((failed + $5)); skipped=$((skipped + $6))
  parts="$parts, $(($4 + $5)) $3"
  [ "$5" -eq 0 ] || failed_steps="$failed_steps $2"
}

build() {
  [ -f "build/$1/CMakeCache.txt" ] || cmake --preset "$1" >/dev/null || return 1
  # Show only what is worth reading: warnings and errors.
  cmake --build "build/$1" -j"$JOBS" 2>&1 | grep -E 'warning|error|Error' | grep -v jobserver || true
  cmake --build "build/$1" -j"$JOBS" >/dev/null 2>&1
}

mkdir -p build
step "native tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
if build native-asan; then
  (cd build/native-asan && ASAN_OPTIONS=detect_leaks=1 ctest -j"$JOBS" --output-on-failure) \
    >build/native-asan.log 2>&1
  tail -n 4 build/native-asan.log
  count build/native-asan.log native "native test cases"
else
  echo "native-asan build failed"; failed=$((failed + 1)); failed_steps="$failed_steps native-build"
fi

step "Windows tests under wine64 and Xvfb"
# The Wine tests spend most of their time waiting for windows: the 32-bit
# target (build, import check, its tests under 32-bit Wine) runs beside them.
sh tools/test-win32.sh >build/win32-stage.log 2>&1 &
win32_job=$!
if build win64; then
  (cd build/win64 && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure) \
    >build/win64.log 2>&1
  grep -E '^ *[0-9]+/[0-9]+ Test' build/win64.log
  tail -n 3 build/win64.log
  count build/win64.log wine "Windows test programs"
else
  echo "win64 build failed"; failed=$((failed + 1)); failed_steps="$failed_steps win64-build"
fi

step "32-bit disc target (i686, warnings are errors; imports; tests under 32-bit Wine)"
wait "$win32_job"
count_stage build/win32-stage.log win32 "from the 32-bit target (build, imports, Windows test programs)"

echo
[ -n "$failed_steps" ] && echo "failing:$failed_steps"
[ "$skipped" -eq 0 ] || echo "skipped (not run, not passed): $skipped"
echo "$passed passed, $failed failed, $skipped skipped (${parts#, })"
[ "$failed" -eq 0 ]
