#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine.
# Idempotent: does nothing when every package is already present.
set -eu

PACKAGES="cmake make git ccache g++ ninja-build libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64
  wine64 fonts-wine xvfb x11-apps imagemagick xauth
  clang libclang-rt-14-dev clang-format
  sox lame mpg123 zip unzip xorriso dpkg-dev"
# 32-bit Wine runs the 32-bit disc target's tests; on an x86-64 machine it
# comes from Debian's i386 architecture.
FOREIGN=""
[ "$(dpkg --print-architecture)" = amd64 ] && FOREIGN="wine32:i386"

# The source of the mingw-w64 C runtime, of the version the installed headers
# are: the 32-bit disc programs link a copy of it compiled for the 486
# (cmake/MingwCrt.cmake), since Debian's is compiled for the Pentium Pro.
# Fetched with apt-get source into /usr/src/mingw-w64-<version>/.
CRT_SOURCE_DIR=/usr/src

# crt_source: fetches it when missing (needs dpkg-dev, and a deb-src line,
# added for Debian 12 when apt has none).
crt_source() {
  version=$(dpkg-query -W -f='${Version}' mingw-w64-i686-dev 2>/dev/null) || return 0
  upstream=${version%-*}
  upstream=${upstream#*:}
  [ -d "$CRT_SOURCE_DIR/mingw-w64-$upstream/mingw-w64-crt" ] && return 0
  echo "fetching the source of mingw-w64 $version (its C runtime, built for the 486)"
  if ! $SUDO apt-get source --print-uris -qq "mingw-w64=$version" >/dev/null 2>&1; then
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
      "Suites: bookworm bookworm-updates" "Components: main" \
      "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
      $SUDO tee /etc/apt/sources.list.d/vexlo-deb-src.sources >/dev/null
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
