#!/bin/sh
# `make release|iso|demo PRODUCT=path`: a publisher's product, built in its own
# folder with the 32-bit toolchain of the win32 preset. The tests' builds
# (build/win32, build/win64 ...) keep the sample product.
#   build/product-<name>/        the build (<name>: the product folder's name)
#   build/product-<name>/disc/   the disc, ready to burn
#   build/<name>.iso             its image (release, iso), with build/SHA256SUMS
#   build/native/bin/            the host tools (vexlo-archive, vexlo-mp3wav)
#
#   tools/product-build.sh release|iso|demo|demo-remove PRODUCT
#   release: configured afresh and built clean (a master); iso: built as it
#   stands; demo: built, then its Setup.exe run as `make demo` runs the sample's.
set -eu
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
die() { printf 'make: PRODUCT=%s: %s\n' "$product_arg" "$*" >&2; exit 2; }
# shellcheck source=tools/shell-word.sh
. ./tools/shell-word.sh
[ $# -eq 2 ] || { echo "usage: tools/product-build.sh release|iso|demo|demo-remove PRODUCT" >&2; exit 2; }
action=$1
product_arg=$2

[ -d "$product_arg" ] || die "no such folder"
product=$(cd "$product_arg" && pwd -P)
[ -f "$product/product.ini" ] && [ -d "$product/content" ] ||
  die "not a product folder: it must hold product.ini and content/ (copy disc/product to start one)"
case $action in release | iso | demo | demo-remove) ;; *) die "unknown action $action" ;; esac
name=$(basename "$product")
case $name in
  *[!A-Za-z0-9._-]* | .*) die "the folder's name \"$name\" names the build folder and the image: use letters, digits, '.', '_' and '-'" ;;
esac
build=build/product-$name
image=build/$name.iso
# One build folder per product name: another folder of the same name is refused
# rather than built over.
if [ -f "$build/CMakeCache.txt" ]; then
  built=$(sed -n 's/^VEXLO_PRODUCT_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
  if [ -n "$built" ] && [ "$built" != "$product" ]; then
    die "$build is the build of $built: rename this folder, or remove $build"
  fi
fi

# The host tools a publisher uses beside the disc (README: vexlo-archive).
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build build/native -j"$JOBS" --target vexlo-archive vexlo-mp3wav

configure() {
  cmake --preset win32 -B "$build" "$@" -DVEXLO_PRODUCT_DIR="$product" \
    -DVEXLO_DISC_DIR="$PWD/$build/disc" -DBUILD_TESTING=OFF >"$build/configure.log" 2>&1 || {
    # CMake's own error, without the compiler checks before it.
    sed -n '/^CMake Error/,$p' "$build/configure.log" | grep -v '^-- \|^See also' >&2
    die "the build could not be configured (above; all of it in $build/configure.log)"
  }
}
mkdir -p "$build"
# A failed release or iso leaves no earlier image of this name, nor its
# SHA256SUMS, beside it.
case $action in release | iso) sh tools/make-iso.sh --remove "$image" ;; esac
case $action in
  release)
    # A master is built clean: an incremental build keeps the time stamps of the
    # commit each program was last linked at.
    configure --fresh
    cmake --build "$build" -j"$JOBS" --clean-first --target disc vexlo-textfit
    ;;
  iso | demo)
    configure
    cmake --build "$build" -j"$JOBS" --target disc vexlo-textfit
    ;;
  demo-remove) ;;
esac

# Every text of the product measured in the control of Setup.exe that shows
# it, with the dialog's font, under 32-bit Wine in a prefix of this build's
# own (made once); a text that would be cut stops the build, named.
check_texts_fit() {
  wine32=${VEXLO_WINE32:-/usr/lib/wine/wine}
  if [ ! -x "$wine32" ]; then
    printf 'make: PRODUCT=%s: WARNING: no 32-bit Wine (%s): the texts were NOT checked against the controls that show them\n' \
      "$product_arg" "$wine32" >&2
    return 0
  fi
  (
    export WINEPREFIX="$PWD/$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    set -- "$wine32" "$build/bin/vexlo-textfit.exe"
    if [ -z "${DISPLAY:-}" ]; then set -- xvfb-run -a "$@"; fi
    status=0
    "$@" >"$build/textfit.log" 2>"$build/textfit.err" || status=$?
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    tr -d '\r' <"$build/textfit.err" >&2
    case $status in
      0) echo "Every text fits the control that shows it (measured under Wine: $build/textfit.log)" ;;
      1) die "texts of product.ini would be cut in Setup.exe's dialogs (above)" ;;
      *) die "the texts could not be measured under Wine (exit $status)" ;;
    esac
  ) || exit 2
}
case $action in release | iso | demo) check_texts_fit ;; esac

names=$build/generated/product.sh
[ -f "$names" ] || die "$names missing: build the product first (make demo PRODUCT=$product_arg)"
# shellcheck disable=SC1090
. "./$names"
case $action in
  release | iso)
    VEXLO_VOLUME_LABEL=$product_VolumeLabel VEXLO_GAME_EXE=$product_GameExeName \
      sh tools/make-iso.sh "$build/disc" "$image"
    ;;
  demo | demo-remove)
    set --
    if [ "$action" = demo-remove ]; then set -- --remove; fi
    DEMO_COMMAND="make demo PRODUCT=$(shell_word "$product_arg")" DISC_DIR=$build/disc \
      PRODUCT_NAMES=$names DEMO_DIR=$build/demo exec sh tools/demo-disc.sh "$@"
    ;;
esac
