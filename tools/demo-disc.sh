#!/bin/sh
# `make demo`: runs tools/demo.sh on the 32-bit disc (build/disc-win32, the one
# a publisher burns) under 32-bit Wine, in build/win32/demo/prefix, where this
# machine runs 32-bit programs; otherwise says so and runs the 64-bit disc.
# A product's disc (`make demo PRODUCT=path`: DISC_DIR, DEMO_DIR and
# PRODUCT_NAMES given by tools/product-build.sh) is 32-bit only.
#   tools/demo-disc.sh [--remove]
set -eu
cd "$(dirname "$0")/.."
if [ -n "${PRODUCT_NAMES:-}" ]; then
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "demo: a product's disc is 32-bit, and 32-bit Wine (wine32:i386) is not installed" >&2
    exit 1
  fi
  # The UI driver that walks through the screens comes from the tests' build.
  [ -f build/win32/CMakeCache.txt ] || cmake --preset win32 >/dev/null
  cmake --build build/win32 -j"$(nproc)" --target vexlo-drive >/dev/null
  WINE=/usr/lib/wine/wine WINEARCH=win32 WIN_DIR=build/win32 exec sh tools/demo.sh "$@"
fi
# `make demo-remove` removes the sample's installation where `make demo` made
# it, and builds nothing when there is none: a product's is removed with its
# PRODUCT=, which it names.
if [ "${1:-}" = --remove ]; then
  # shellcheck source=tools/shell-word.sh
  . ./tools/shell-word.sh
  if [ -f build/win32/demo/prefix/system.reg ] && [ -x /usr/lib/wine/wine ]; then
    cmake --build build/win32 -j"$(nproc)" --target vexlo-drive >/dev/null
    WINE=/usr/lib/wine/wine WINEARCH=win32 WIN_DIR=build/win32 DISC_DIR=build/disc-win32 \
      DEMO_DIR=build/win32/demo exec sh tools/demo.sh --remove
  fi
  if [ ! -f build/demo/prefix/system.reg ]; then
    echo "demo-remove: 'make demo' has installed no sample demo (no build/win32/demo/prefix, no build/demo/prefix)" >&2
    for cache in build/product-*/CMakeCache.txt; do
      [ -f "${cache%/CMakeCache.txt}/demo/prefix/system.reg" ] || continue
      folder=$(sed -n 's/^VEXLO_PRODUCT_DIR:[A-Z]*=//p' "$cache")
      echo "  a product's demo is installed in ${cache%/CMakeCache.txt}/demo: make demo-remove PRODUCT=$(shell_word "$folder")" >&2
    done
    exit 1
  fi
  [ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
  cmake --build build/win64 -j"$(nproc)" >/dev/null
  exec sh tools/demo.sh --remove
fi
if [ -x /usr/lib/wine/wine ] && [ -x build/win32/bin/vexlo-drive.exe ] &&
  [ -f build/disc-win32/Setup.exe ]; then
  WINE=/usr/lib/wine/wine WINEARCH=win32 WIN_DIR=build/win32 DISC_DIR=build/disc-win32 \
    DEMO_DIR=build/win32/demo exec sh tools/demo.sh "$@"
fi
echo "demo: 32-bit Wine or the 32-bit build is missing: showing the 64-bit disc instead"
[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
cmake --build build/win64 -j"$(nproc)" >/dev/null
exec sh tools/demo.sh "$@"
