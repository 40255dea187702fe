#!/bin/sh
# The 32-bit disc target: built with warnings as errors; its shipped programs
# checked to load on Windows 95 and NT 4.0 (headers and import tables); and,
# where this machine runs 32-bit programs (32-bit Wine, wine32:i386), its
# Windows tests, the end-to-end tests and the disc image test under 32-bit
# Wine in Xvfb, in the prefix build/win32/wineprefix. Where it cannot, those
# tests are counted as skipped, never as passed.
# Ends with one line: "win32: N passed, M failed, K skipped".
set -u
cd "$(dirname "$0")/.." || exit 1
JOBS=${JOBS:-$(nproc)}
BUILD=build/win32
# The 32-bit Wine loader (overridable, to see the skipped path on any machine).
WINE32=${VEXLO_WINE32:-/usr/lib/wine/wine}
passed=0
failed=0
skipped=0

finish() {
  echo "win32: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit
}

# Adds a ctest log's counts to the totals.
count() {
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    echo "no ctest summary in $1"
    failed=$((failed + 1))
    return
  fi
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

mkdir -p build
if [ ! -f "$BUILD/CMakeCache.txt" ] && ! cmake --preset win32 >build/win32-build.log 2>&1; then
  tail -n 20 build/win32-build.log
  echo "win32 configure failed"
  failed=$((failed + 1))
  finish
fi
if cmake --build "$BUILD" -j"$JOBS" >build/win32-build.log 2>&1; then
  grep -E 'warning|error' build/win32-build.log | grep -v jobserver
  echo "win32 build clean"
  passed=$((passed + 1))
else
  grep -E 'warning|error|Error' build/win32-build.log | grep -v jobserver | tail -n 30
  echo "win32 build failed"
  failed=$((failed + 1))
  finish
fi

(cd "$BUILD" && ctest -L imports -V) >build/win32-imports.log 2>&1
grep -E 'functions from|allowlist|not exported|Version is' build/win32-imports.log |
  sed -E 's/^[0-9]+: //'
count build/win32-imports.log

# Can this machine run a 32-bit Windows program? (32-bit Wine installed and
# the kernel able to run 32-bit code.) Also makes the prefix.
reason=""
if [ ! -x "$WINE32" ]; then
  reason="32-bit Wine is not installed (wine32:i386)"
elif ! out=$(DISPLAY='' timeout 300 "$BUILD/wine-run" "$BUILD/bin/size_text_test.exe" 2>&1) ||
  ! printf '%s' "$out" | grep -q 'PASSED'; then
  reason="32-bit Wine does not run programs here: $(printf '%s' "$out" | tail -n 1)"
fi
windows_tests=$(cd "$BUILD" && ctest -N -LE imports | sed -n 's/^Total Tests: //p')
if [ -n "$reason" ]; then
  echo "SKIPPED: $windows_tests 32-bit Windows test programs not run: $reason"
  skipped=$((skipped + ${windows_tests:-0}))
  finish
fi
# One at a time, as the 64-bit run: most of them change the same prefix.
(cd "$BUILD" && xvfb-run -a -s "-screen 0 1024x768x24" \
  ctest -LE imports --output-on-failure) >build/win32-tests.log 2>&1
grep -E '^ *[0-9]+/[0-9]+ Test' build/win32-tests.log
tail -n 3 build/win32-tests.log
count build/win32-tests.log
finish
