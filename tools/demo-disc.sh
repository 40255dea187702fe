#!/bin/sh
# `make demo`: runs tools/demo.sh on the 32-bit disc (build/disc-win32, the one
# a publisher burns) under 32-bit Wine, in build/win32/demo/prefix, where this
# machine runs 32-bit programs; otherwise says so and runs the 64-bit disc.
#   tools/demo-disc.sh [--remove]
set -eu
cd "$(dirname "$0")/.."
if [ -x /usr/lib/wine/wine ] && [ -x build/win32/bin/vexlo-drive.exe ] &&
  [ -f build/disc-win32/Setup.exe ]; then
  WINE=/usr/lib/wine/wine WINEARCH=win32 WIN_DIR=build/win32 DISC_DIR=build/disc-win32 \
    DEMO_DIR=build/win32/demo exec sh tools/demo.sh "$@"
fi
echo "demo: 32-bit Wine or the 32-bit build is missing: showing the 64-bit disc instead"
[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
cmake --build build/win64 -j"$(nproc)" >/dev/null
exec sh tools/demo.sh "$@"
