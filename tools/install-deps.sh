#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine.
# Idempotent: does nothing when every package is already present.
set -eu

# Each package and what calls it (found by reading every script, CMake file
# and test that runs a program, not from memory):
PACKAGES="
  cmake make git
  g++ libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64
  wine64 fonts-wine xvfb xauth imagemagick
  clang libclang-rt-14-dev clang-format
  sox lame mpg123 zip xorriso ccache"
#  cmake, make, git     the build; git for the master's time stamps and verify-master
#  g++, libgtest-dev, googletest, libbenchmark-dev
#                       native builds and tests (googletest: its source, for the
#                       mingw test builds), make bench's micro-benchmarks
#  g++-mingw-w64-*, mingw-w64-tools, binutils-mingw-w64
#                       every Windows program; windres, objdump (import check)
#  wine64, fonts-wine   the Windows tests, make demo
#  xvfb, xauth          xvfb-run: a display for the Wine tests and the demo
#  imagemagick          convert: screenshots to PNG, the publisher test's art
#  clang, libclang-rt-14-dev, clang-format
#                       make fuzz (libFuzzer), make format
#  sox, lame, mpg123    test and bench audio, the decoder's reference
#  zip                  the archive tool's interchange test
#  xorriso              make iso and the disc image tests
#  ccache               rebuilds and the second build of verify-master --quick
#                       reuse what was compiled (the build runs without it too)
# 32-bit Wine runs the 32-bit disc target's tests; on an x86-64 machine it
# comes from Debian's i386 architecture.
FOREIGN=""
[ "$(dpkg --print-architecture)" = amd64 ] && FOREIGN="wine32:i386"

missing=""
for p in $PACKAGES $FOREIGN; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$FOREIGN" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
