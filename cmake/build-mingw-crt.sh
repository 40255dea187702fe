#!/bin/sh
# Configures and builds the mingw-w64 C runtime's 32-bit start files and
# libraries, as Debian configures them, with the compiler and flags given;
# copies them into FOLDER (crtdll's import library as libmsvcrt.a). The log
# is WORK.log; its end is shown when a step fails. (cmake/MingwCrt.cmake)
#
#   build-mingw-crt.sh SOURCE WORK FOLDER TRIPLE CC CFLAGS
set -eu
source=$1 work=$2 folder=$3 triple=$4 cc=$5 cflags=$6
log=$work.log
rm -rf "$work"
mkdir -p "$work" "$folder"
fail() {
  tail -n 20 "$log" >&2
  echo "build-mingw-crt: $1 failed (whole log: $log)" >&2
  exit 1
}
cd "$work"
sh "$source/configure" --host="$triple" --prefix="/usr/$triple" --disable-lib64 --enable-lib32 \
  CC="$cc" CFLAGS="$cflags" >"$log" 2>&1 || fail configure
# The start files' rules do not make their folder, the libraries' do.
mkdir -p lib32
make -j2 lib32/libmingw32.a lib32/libmingwex.a lib32/libmoldname.a lib32/libcrtdll.a \
  lib32/crt2.o lib32/dllcrt2.o >>"$log" 2>&1 || fail make
for product in crt2.o dllcrt2.o libmingw32.a libmingwex.a libmoldname.a; do
  cp "lib32/$product" "$folder/$product"
done
cp lib32/libcrtdll.a "$folder/libmsvcrt.a"
