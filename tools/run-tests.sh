#!/bin/sh
# Runs every test: the portable core natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows programs and their tests under wine64
# inside Xvfb, and a warning-free build of the 32-bit disc target.
# Ends with one summary line: "N passed, M failed".
set -u
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
failed_steps=""
passed=0
failed=0
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
# The 32-bit build needs no display and the Wine tests spend most of their
# time waiting for windows, so the two run side by side.
win32_ok=build/win32.ok
rm -f "$win32_ok"
( build win32 >build/win32-build.log 2>&1 && touch "$win32_ok" ) &
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

step "32-bit disc target (i686, warnings are errors)"
wait "$win32_job"
if [ -f "$win32_ok" ]; then
  echo "win32 build clean"; passed=$((passed + 1)); parts="$parts, the 32-bit build"
else
  tail -n 30 build/win32-build.log
  echo "win32 build failed"; failed=$((failed + 1)); failed_steps="$failed_steps win32-build"
fi

echo
[ -n "$failed_steps" ] && echo "failing:$failed_steps"
echo "$passed passed, $failed failed (${parts#, })"
[ "$failed" -eq 0 ]
