#!/bin/sh
# The 32-bit disc target, as one stage of tools/run-tests.sh: built with
# warnings as errors; its shipped programs checked to load on Windows 95 and
# NT 4.0 (headers and import tables); and, where this machine runs 32-bit
# programs (32-bit Wine, wine32:i386), its Windows tests, the end-to-end tests
# and the disc image test under 32-bit Wine in Xvfb, in the prefix
# build/win32/wineprefix. Where it cannot, those tests are counted as skipped,
# never as passed, and it says why.
# Writes "PASSED FAILED SKIPPED" to STAGE_COUNTS when that is set.
set -u
cd "$(dirname "$0")/.." || exit 1
JOBS=${JOBS:-$(nproc)}
# One Wine test at a time: the stage runs beside the native and wine64 ones on
# a machine of two cores, and tests that wait for focus changes are timed.
WINE_JOBS=${WINE32_JOBS:-1}
BUILD=build/win32
# The 32-bit Wine loader (overridable, to see the skipped path on any machine).
WINE32=${VEXLO_WINE32:-/usr/lib/wine/wine}
. tools/test-lib.sh
counts_file=${STAGE_COUNTS:-}
passed=0
failed=0
skipped=0

finish() {
  [ -n "$counts_file" ] && echo "$passed $failed $skipped" >"$counts_file"
  echo "win32: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit
}

# Adds what run_ctest counted to the totals.
add_counts() {
  # shellcheck disable=SC2046 # three numbers, split on purpose
  set -- $(cat "$1")
  passed=$((passed + $1))
  failed=$((failed + $2))
  skipped=$((skipped + $3))
}

mkdir -p build/stages
if build win32; then
  echo "win32 build clean"
  passed=$((passed + 1))
else
  tail -n 30 build/win32-build.log
  echo "win32 build failed"
  failed=$((failed + 1))
  finish
fi

STAGE_COUNTS=build/stages/win32-imports.counts run_ctest build/win32-imports.log \
  ctest --test-dir "$BUILD" -V -L imports >/dev/null
grep -E 'functions from|allowlist|not exported|Version is|a 486 lacks|^[^ ]+:   |check-instructions: ' \
  build/win32-imports.log |
  sed -E 's/^[0-9]+: //'
add_counts build/stages/win32-imports.counts

# Can this machine run a 32-bit Windows program? (32-bit Wine installed, the
# kernel able to run 32-bit code.) --prepare also makes the prefix.
reason=""
if [ ! -x "$WINE32" ]; then
  reason="32-bit Wine is not installed (wine32:i386)"
elif ! out=$(timeout 300 "$BUILD/wine-run" --prepare 2>&1) ||
  ! out=$(timeout 120 "$BUILD/wine-run" "$BUILD/bin/size_text_test.exe" 2>&1) ||
  ! printf '%s' "$out" | grep -q 'PASSED'; then
  reason="32-bit Wine does not run programs here: $(printf '%s' "$out" | tail -n 1)"
fi
if [ -n "$reason" ]; then
  windows_tests=$(ctest --test-dir "$BUILD" -N -LE imports | sed -n 's/^Total Tests: //p')
  echo "SKIPPED: ${windows_tests:-0} 32-bit Windows test programs not run: $reason"
  skipped=$((skipped + ${windows_tests:-0}))
  "$BUILD/wine-run" --stop >/dev/null 2>&1
  finish
fi
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  . tools/test-lib.sh
  STAGE_COUNTS=build/stages/win32-tests.counts run_ctest build/win32-tests.log \
    ctest --test-dir build/win32 -V -LE imports -j"$1"' sh "$WINE_JOBS"
add_counts build/stages/win32-tests.counts
"$BUILD/wine-run" --stop >/dev/null 2>&1
finish
