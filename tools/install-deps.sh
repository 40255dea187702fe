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
  sox lame mpg123 zip xorriso ccache dpkg-dev debootstrap"
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
#  dpkg-dev             apt-get source: the mingw-w64 C runtime's source (below)
#  debootstrap          make fresh-check and CI (.ci/run): the fresh Debian 12 root
#                       (tools/fresh-root.sh also installs it where it is missing)
#  ccache               rebuilds and the second build of verify-master --quick
#                       reuse what was compiled (the build runs without it too)
# 32-bit Wine runs the 32-bit disc target's tests; on an x86-64 machine it
# comes from Debian's i386 architecture.
FOREIGN=""
[ "$(dpkg --print-architecture)" = amd64 ] && FOREIGN="wine32:i386"

# The source of the mingw-w64 C runtime, of the version the installed headers
# are: the 32-bit disc programs link a copy of it compiled for the 486
# (cmake/MingwCrt.cmake), since Debian's is compiled for the Pentium Pro.
# Fetched with apt-get source into /usr/src/mingw-w64-<version>/.
CRT_SOURCE_DIR=/usr/src

# deb_src_lines: the machine's own Debian 12 archives (its deb822 sources
# with Types: deb), as deb-src entries; no archive is named here.
deb_src_lines() {
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:([^\n]*[ \t])?deb([ \t][^\n]*)?(\n|$)/ &&
         /(^|\n)Suites:([^\n]*[ \t])?bookworm([ \t][^\n]*)?(\n|$)/ {
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
  done
  # One-line sources become deb822 entries of the same archive.
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" {
           i = 2; opts = ""
           if ($i ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ }; opts = opts " " $i; i++ }
           if ($(i + 1) !~ /^bookworm/) next
           comps = ""; for (j = i + 2; j <= NF; j++) comps = comps " " $j
           key = ""; if (match(opts, /signed-by=[^] ]+/)) key = substr(opts, RSTART + 10, RLENGTH - 10)
           printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:%s\n", $i, $(i + 1), comps
           if (key != "") printf "Signed-By: %s\n", key
           printf "\n" }'
}

# crt_source: fetches it when missing (needs dpkg-dev, and deb-src entries,
# made from the machine's own sources when apt has none).
crt_source() {
  version=$(dpkg-query -W -f='${Version}' mingw-w64-i686-dev 2>/dev/null) || return 0
  upstream=${version%-*}
  upstream=${upstream#*:}
  [ -d "$CRT_SOURCE_DIR/mingw-w64-$upstream/mingw-w64-crt" ] && return 0
  echo "fetching the source of mingw-w64 $version (its C runtime, built for the 486)"
  if ! $SUDO apt-get source --print-uris -qq "mingw-w64=$version" >/dev/null 2>&1; then
    deb_src_lines | $SUDO tee /etc/apt/sources.list.d/vexlo-deb-src.sources >/dev/null
    $SUDO apt-get update -qq
  fi
  (cd "$CRT_SOURCE_DIR" && $SUDO apt-get source -qq "mingw-w64=$version" >/dev/null)
  [ -d "$CRT_SOURCE_DIR/mingw-w64-$upstream/mingw-w64-crt" ] || {
    echo "install-deps: no $CRT_SOURCE_DIR/mingw-w64-$upstream/mingw-w64-crt after apt-get source" >&2
    exit 1
  }
}

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=""
for p in $PACKAGES $FOREIGN; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && { crt_source; exit 0; }

echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$FOREIGN" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
crt_source
