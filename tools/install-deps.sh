#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine.
# Idempotent: does nothing when every package is already present.
set -eu

PACKAGES="cmake make git ccache g++ ninja-build libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64
  wine64 fonts-wine xvfb x11-apps imagemagick xauth
  clang libclang-rt-14-dev clang-format
  sox lame mpg123 zip unzip xorriso"
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
