#!/bin/sh
# Checks that the master is reproducible: builds the disc of a commit twice,
# from two clean checkouts in two different folders, one after the other (the
# second in another time zone and without the compiler cache, so that every
# object is compiled again), and compares the two disc trees and images byte
# for byte. Names the first differing file and offset when they differ, and
# fails when a build folder, the home folder or the host name appears in any
# output.
#
#   tools/verify-master.sh [COMMIT]          (HEAD; `make verify-master`)
#   VERIFY_CACHED=1 tools/verify-master.sh   the second build may use ccache
#   tools/verify-master.sh --quick           this working tree, built twice in
#                                            two build folders with ccache
#                                            (part of `make test`)
set -eu
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
started=$(date +%s)
quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
WORK=${VERIFY_DIR:-build/master-check}
[ "$quick" -eq 0 ] || WORK=${VERIFY_DIR:-build/rebuild-check}

# The builds take their dates from the commit themselves, as `make release`
# does; a date set from outside would hide a build that does not.
unset SOURCE_DATE_EPOCH
if [ "$quick" -eq 1 ]; then
  what="this working tree"
else
  commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
  what=$commit
  [ -n "${1:-}" ] || [ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "verify-master: uncommitted changes are left out; checking $commit"
fi

rm -rf "$WORK"
mkdir -p "$WORK"
WORK=$(cd "$WORK" && pwd)
first=$WORK/one/vexlo
second=$WORK/two/another/place/vexlo-copy

fail() {
  echo "verify-master: FAILED: $*" >&2
  exit 1
}

# build_master SOURCE_DIR LOG: a clean checkout of the commit (a clone that
# shares this repository's objects), the 32-bit disc (not the tests) and, where the project
# makes one, the image.
build_master() {
  mkdir -p "$(dirname "$1")"
  git clone -q --shared --no-checkout "$(pwd)" "$1"
  git -C "$1" checkout -q --detach "$commit"
  (
    # (set -e does not hold on the left of ||: each step is chained.)
    cd "$1" &&
      cmake --preset win32 &&
      cmake --build build/win32 -j"$JOBS" --target disc &&
      { [ ! -f tools/make-iso.sh ] || sh tools/make-iso.sh; }
  ) >"$2" 2>&1 || { tail -n 30 "$2"; fail "the build in $1 failed (log: $2)"; }
}

# build_again BUILD_DIR LOG: this working tree's disc (and image) in BUILD_DIR
# (disc in BUILD_DIR/build/disc-win32, image in BUILD_DIR/build, as a full
# build has them).
build_again() {
  (
    cmake --preset win32 -B "$1" -DVEXLO_DISC_DIR="$1/build/disc-win32" &&
      cmake --build "$1" -j"$JOBS" --target disc &&
      { [ ! -f tools/make-iso.sh ] ||
        sh tools/make-iso.sh "$1/build/disc-win32" "$1/build/vexlo-demo.iso"; }
  ) >"$2" 2>&1 || { tail -n 30 "$2"; fail "the build in $1 failed (log: $2)"; }
}

# first_difference A B: "at offset N (0x..)" of the first differing byte, with
# the first differing bytes as cmp -l shows them (offset, octal, octal).
first_difference() {
  byte=$(cmp "$1" "$2" 2>&1 | sed -n 's/.* differ: byte \([0-9]*\).*/\1/p')
  if [ -n "$byte" ]; then
    offset=$((byte - 1))
    printf 'first difference at offset %d (0x%x); cmp -l:\n' "$offset" "$offset"
    cmp -l "$1" "$2" 2>/dev/null | head -n 8
  else
    # One is a prefix of the other.
    cmp "$1" "$2" 2>&1 | head -n 1
  fi
}

# compare_trees A B: same file names, same bytes.
compare_trees() {
  (cd "$1" && find . -type f | LC_ALL=C sort) >"$WORK/files.one"
  (cd "$2" && find . -type f | LC_ALL=C sort) >"$WORK/files.two"
  if ! cmp -s "$WORK/files.one" "$WORK/files.two"; then
    diff "$WORK/files.one" "$WORK/files.two" | head -n 20
    fail "the two disc trees hold different files"
  fi
  while read -r name; do
    if ! cmp -s "$1/$name" "$2/$name"; then
      echo "differs: ${name#./}: $(first_difference "$1/$name" "$2/$name")"
      fail "the two disc trees differ first in ${name#./}"
    fi
  done <"$WORK/files.one"
}

# no_build_paths TREE...: no output names the folders it was built in, the
# user's home or the machine.
no_build_paths() {
  leaks=$(grep -r -a -l -F -e "$first" -e "$second" -e "$WORK" -e "$(pwd)" \
            -e "${HOME:-/root}/" "$@" || true)
  [ -z "$leaks" ] || fail "a build path appears in: $leaks"
  if [ "${#host}" -ge 4 ]; then
    leaks=$(grep -r -a -l -w -F -e "$host" "$@" || true)
    [ -z "$leaks" ] || fail "the host name $host appears in: $leaks"
  fi
}
host=$(hostname)
# A very short name (two or three letters) turns up in any binary by chance.
[ "${#host}" -ge 4 ] || echo "host name \"$host\" too short to look for"

echo "building $what in $first"
if [ "$quick" -eq 1 ]; then
  build_again "$first" "$WORK/one.log"
else
  build_master "$first" "$WORK/one.log"
fi
# A build a little later, elsewhere and in another time zone; for a master
# compiled afresh.
sleep 2
echo "building $what in $second"
if [ "$quick" -eq 1 ]; then
  TZ=Pacific/Chatham build_again "$second" "$WORK/two.log"
elif [ "${VERIFY_CACHED:-0}" = 1 ]; then
  TZ=Pacific/Chatham build_master "$second" "$WORK/two.log"
else
  CCACHE_DISABLE=1 TZ=Pacific/Chatham build_master "$second" "$WORK/two.log"
fi

compare_trees "$first/build/disc-win32" "$second/build/disc-win32"
no_build_paths "$first/build/disc-win32"
no_build_paths "$second/build/disc-win32"
image=build/vexlo-demo.iso
if [ -f "$first/$image" ] || [ -f "$second/$image" ]; then
  [ -f "$first/$image" ] && [ -f "$second/$image" ] || fail "only one build made $image"
  if ! cmp -s "$first/$image" "$second/$image"; then
    echo "differs: $image: $(first_difference "$first/$image" "$second/$image")"
    fail "the two images differ"
  fi
  no_build_paths "$first/$image"
  echo "image: $(sha256sum "$first/$image" | cut -d' ' -f1)  (both builds)"
  if [ -f "$first/build/SHA256SUMS" ]; then
    cmp -s "$first/build/SHA256SUMS" "$second/build/SHA256SUMS" || fail "the checksum files differ"
  fi
fi
tree_sum=$(cd "$first/build/disc-win32" && find . -type f | LC_ALL=C sort | xargs sha256sum | sha256sum | cut -d' ' -f1)
echo "disc tree: $tree_sum  (sha256 of the sorted sha256sum listing, both builds)"
echo "verify-master: the two builds of $what are byte-identical ($(($(date +%s) - started)) s)"
[ "$quick" -eq 1 ] && rm -rf "$WORK"
exit 0
