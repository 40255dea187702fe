#!/bin/sh
# Configures and builds the mingw-w64 C runtime's 32-bit start files and
# libraries, as Debian configures them, with the compiler and flags given;
# copies them into FOLDER (crtdll's import library as libmsvcrt.a). The log
# is WORK.log; its end is shown when a step fails. (cmake/MingwCrt.cmake)
#
#   build-mingw-crt.sh SOURCE WORK FOLDER TRIPLE CC CFLAGS [CACHE]
#
# With CACHE, a runtime built once for the same source, compiler, flags and
# this script is kept in CACHE/<key> and copied from there: the configure
# step alone takes half a minute, and every 32-bit build tree of one checkout
# (the tests', a product's, the quick rebuild check's) needs the same runtime.
# The work folder's name never reaches the objects (the flags map it away),
# so a runtime built elsewhere is the same bytes.
set -eu
source=$1 work=$2 folder=$3 triple=$4 cc=$5 cflags=$6 cache=${7:-}
products="crt2.o dllcrt2.o libmingw32.a libmingwex.a libmoldname.a"

# build_into WORK LOG FLAGS: the runtime in WORK/lib32.
build_into() {
  rm -rf "$1"
  mkdir -p "$1"
  (
    cd "$1"
    sh "$source/configure" --host="$triple" --prefix="/usr/$triple" --disable-lib64 \
      --enable-lib32 CC="$cc" CFLAGS="$3" >"$2" 2>&1 || fail "$2" configure
    # The start files' rules do not make their folder, the libraries' do.
    mkdir -p lib32
    make -j2 lib32/libmingw32.a lib32/libmingwex.a lib32/libmoldname.a lib32/libcrtdll.a \
      lib32/crt2.o lib32/dllcrt2.o >>"$2" 2>&1 || fail "$2" make
  )
}

fail() {
  tail -n 20 "$1" >&2
  echo "build-mingw-crt: $2 failed (whole log: $1)" >&2
  exit 1
}

if [ -z "$cache" ]; then
  build_into "$work" "$work.log" "$cflags"
  built=$work/lib32
else
  # shellcheck disable=SC2086 # CC may be "ccache compiler"
  key=$({
    printf '%s\n' "$source" "$triple" "$cflags" | sed "s|$work/|WORK/|g"
    $cc --version 2>&1 | head -n 1
    cat "$0"
  } | sha256sum | cut -c1-16)
  kept=$cache/$key
  mkdir -p "$cache"
  # Two build trees that need it at once: the second waits for the first.
  exec 9>"$kept.lock"
  flock 9
  if [ ! -f "$kept/complete" ]; then
    rm -rf "$kept"
    build_into "$kept/work" "$kept/work.log" "$(printf '%s' "$cflags" | sed "s|$work/|$kept/work/|g")" ||
      { rm -rf "$kept"; exit 1; }
    touch "$kept/complete"
  fi
  built=$kept/work/lib32
  rm -rf "$work"
  mkdir -p "$work"
  echo "the runtime kept in $kept" >"$work.log"
fi
mkdir -p "$folder"
for product in $products; do
  cp "$built/$product" "$folder/$product"
done
cp "$built/libcrtdll.a" "$folder/libmsvcrt.a"
