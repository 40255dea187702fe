#!/bin/sh
# Runs every test: the portable core natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows programs and their tests under wine64
# inside Xvfb, and the 32-bit disc target (warning-free build, import check,
# its tests under 32-bit Wine where the machine runs 32-bit programs:
# tools/test-win32.sh).
# Each stage is one `stage` line (tools/test-lib.sh); the last line of the
# output is "N passed, M failed, K skipped", the stages' times before it.
set -u
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
# Wine tests at a time: those that share the prefix's state take one lock.
WINE_JOBS=${WINE_JOBS:-2}
. tools/test-lib.sh
started=$(date +%s)
mkdir -p build
# Whatever the tests write to a temporary folder stays inside the build folder.
TMPDIR=$PWD/build/tmp TEST_TMPDIR=$PWD/build/tmp
rm -rf "$TMPDIR" && mkdir -p "$TMPDIR" && export TMPDIR TEST_TMPDIR

native_tests() {
  build native-asan || { echo "native-asan build failed"; return 1; }
  ASAN_OPTIONS=detect_leaks=1 && export ASAN_OPTIONS
  run_ctest build/native-asan.log ctest --test-dir build/native-asan -V -j"$JOBS"
}

# The prefix is made before the tests start (timed on its own line), so that
# no test pays for it and two tests never wait for each other's wineboot.
wine64_tests() {
  build win64 || { echo "win64 build failed"; return 1; }
  xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    . tools/test-lib.sh
    start=$(date +%s)
    build/win64/wine-run --prepare || { echo "Wine prefix could not be made"; exit 1; }
    echo "Wine prefix ready: $(($(date +%s) - start)) s"
    run_ctest build/win64.log ctest --test-dir build/win64 -V -j"$1"
    rc=$?
    build/win64/wine-run --stop
    exit $rc' sh "$WINE_JOBS"
}

stage "native tests (AddressSanitizer, UndefinedBehaviorSanitizer)" native_tests
# The Wine tests spend much of their time waiting for windows: the 32-bit
# target (build, imports, its tests under 32-bit Wine) runs beside them.
stage --background "32-bit disc target (i686: build, imports, tests under 32-bit Wine)" \
  sh tools/test-win32.sh
stage "Windows tests under wine64 and Xvfb" wine64_tests
stage "publisher's disc: Starfall made with the README's commands, installed, played, removed (32-bit Wine)" sh tests/publisher/publisher_test.sh
# Two builds of the 32-bit disc in two other build folders, a little apart,
# are byte-identical (cheap with ccache; `make verify-master` is the full check).
stage --background "32-bit disc built twice elsewhere: byte-identical" sh tools/verify-master.sh --quick
finish_stages "$started"
