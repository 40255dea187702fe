#!/bin/sh
# tools/product-build.sh (make release|iso|demo PRODUCT=path) refuses, in one
# line naming the folder and before it builds anything, a PRODUCT that is no
# product folder or whose name cannot name a build folder and an image.
set -u
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# refused ACTION PRODUCT TEXT: exit code 2, one line on stderr with TEXT.
refused() {
  sh "$script" "$1" "$2" >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 2 ] || fail "$1 $2: exit code $status, expected 2"
  [ -s "$work/out" ] && fail "$1 $2: wrote to stdout (it built?): $(cat "$work/out")"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$1 $2: not one line: $(cat "$work/err")"
  grep -qF "make: PRODUCT=$2: $3" "$work/err" || fail "$1 $2: expected \"$3\", got: $(cat "$work/err")"
}

refused release "$work/missing" "no such folder"
mkdir -p "$work/Half Done/content" "$work/NoContent" "$work/Bad Name/content" "$work/Good/content"
refused iso "$work/Half Done" "not a product folder: it must hold product.ini and content/"
: >"$work/NoContent/product.ini"
refused demo "$work/NoContent" "not a product folder"
: >"$work/Bad Name/product.ini"
refused release "$work/Bad Name" "the folder's name \"Bad Name\" names the build folder"
: >"$work/Good/product.ini"
refused launch "$work/Good" "unknown action launch"

[ "$failures" -eq 0 ] && echo "all product-build checks passed"
exit "$failures"
