#!/bin/bash
# The README's commands on a machine where nothing was installed by hand: a
# minimal Debian 12 root made with debootstrap from this machine's own apt
# sources, a clean clone of this repository's HEAD and ../shared inside it,
# then, as root with a clean environment, the one step before the commands
# (`apt-get update && apt-get install git make`), `make demo` and `make test`.
# The last line is make test's summary, with a failed `make demo` counted.
#
# The bare root is kept as a tarball in FRESH_ROOT_CACHE (made once per
# machine and mirror) and unpacked afresh for every run, in build/fresh-root.
# Where no root can be made here (not root, no debootstrap, no mounts), it
# says so and runs `make test` in place.
#
#   tools/fresh-root.sh            the whole run
#   FRESH_ROOT_CACHE=DIR           where the tarball is kept (/var/cache/vexlo-fresh-root)
#   FRESH_ROOT_KEEP=1              the root stays in build/fresh-root afterwards
set -u
cd "$(dirname "$0")/.." || exit 1
TOP=$PWD
SUITE=bookworm
CACHE=${FRESH_ROOT_CACHE:-/var/cache/vexlo-fresh-root}
ROOT=$TOP/build/fresh-root
MOUNTS="proc sys dev dev/pts dev/shm"
started=$(date +%s)

say() { printf 'fresh root: %s\n' "$*"; }
elapsed() { echo "$(($(date +%s) - started)) s"; }

# Runs make test here instead, saying why; never as if the root had been made.
in_place() {
  say "no fresh root can be made on this machine ($1): make test runs in place instead"
  make test
  rc=$?
  say "make test ran in place, not in a fresh root"
  exit "$rc"
}

# The URI of this machine's Debian archive for SUITE, read from its apt
# sources (one-line .list files and deb822 .sources files alike).
debian_mirror() {
  {
    cat /etc/apt/sources.list 2>/dev/null
    for f in /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && cat "$f"; done
  } | awk -v suite="$SUITE" '
      $1 == "deb" {
        i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) { print $i; exit }
      }'
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$SUITE" '
      function flush() {
        if (uri != "" && deb && (" " suites " ") ~ (" " suite " ") && enabled) print uri
        uri = ""; suites = ""; deb = 0; enabled = 1
      }
      BEGIN { enabled = 1 }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
      tolower($1) == "uris:" { uri = $2 }
      tolower($1) == "suites:" { $1 = ""; suites = $0 }
      tolower($1) == "enabled:" { enabled = (tolower($2) != "no") }
      END { flush() }' "$f"
  done | head -n 1
}

mounted_below() { awk -v r="$ROOT/" 'index($2 "/", r) == 1 { print $2 }' /proc/mounts | sort -r; }

unmount_all() {
  for m in $(mounted_below); do
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null
  done
}

# The root is only ever removed with nothing mounted below it, and never
# across a file-system boundary: a bind mount left behind must not take the
# machine's /dev with it.
remove_root() {
  unmount_all
  if [ -n "$(mounted_below)" ]; then
    say "still mounted below $ROOT, left in place:"
    mounted_below
    return 1
  fi
  rm -rf --one-file-system "$ROOT"
}

[ "$(id -u)" -eq 0 ] || in_place "not running as root"
if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1 &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1; }
  command -v debootstrap >/dev/null || in_place "debootstrap cannot be installed"
fi
mirror=$(debian_mirror)
[ -n "$mirror" ] || in_place "no Debian $SUITE archive in this machine's apt sources"
arch=$(dpkg --print-architecture)
key=$(printf '%s %s %s minbase\n' "$mirror" "$SUITE" "$arch" | sha256sum | cut -c1-16)
tarball=$CACHE/debian-$SUITE-$arch-minbase-$key.tar.gz

trap 'unmount_all' EXIT
trap 'unmount_all; exit 130' INT TERM HUP

remove_root || exit 1
mkdir -p "$ROOT" "$CACHE"
if [ -f "$tarball" ]; then
  say "the bare Debian 12 root from $tarball"
else
  say "making a bare Debian 12 root ($SUITE, minbase, $arch) from this machine's archive"
  debootstrap --variant=minbase "$SUITE" "$ROOT" "$mirror" >"$TOP/build/debootstrap.log" 2>&1 ||
    { tail -n 20 "$TOP/build/debootstrap.log"; remove_root; in_place "debootstrap failed (build/debootstrap.log)"; }
  # Lists and downloads are not part of a bare machine.
  rm -rf "$ROOT"/var/cache/apt/archives/*.deb "$ROOT"/var/lib/apt/lists/*
  tar -C "$ROOT" -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
  say "bare root made and kept in $tarball ($(elapsed))"
  remove_root || exit 1
  mkdir -p "$ROOT"
fi
tar -C "$ROOT" -xzf "$tarball" || in_place "the cached root $tarball cannot be unpacked"

# The machine's own way to its package archive: its sources, the keyrings they
# name, its Acquire settings, its name resolution.
mkdir -p "$ROOT/etc/apt/sources.list.d" "$ROOT/etc/apt/apt.conf.d"
: >"$ROOT/etc/apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  cp "$f" "$ROOT$f"
  for keyring in $(grep -ohE '(signed-by=|Signed-By:[[:space:]]*)/[^] ]+' "$f" | sed -E 's/^(signed-by=|Signed-By:[[:space:]]*)//'); do
    [ -f "$keyring" ] && mkdir -p "$ROOT$(dirname "$keyring")" && cp "$keyring" "$ROOT$keyring"
  done
done
for f in /etc/apt/apt.conf.d/*; do
  grep -qE '^[[:space:]]*Acquire::' "$f" 2>/dev/null && cp "$f" "$ROOT$f"
done
cp -L /etc/resolv.conf "$ROOT/etc/resolv.conf" 2>/dev/null || true
cp /etc/hosts "$ROOT/etc/hosts" 2>/dev/null || true

# A clean clone of what is committed, and ../shared beside it.
mkdir -p "$ROOT/ci"
git clone -q --no-local "$TOP" "$ROOT/ci/repo" || in_place "the repository cannot be cloned"
[ -d "$TOP/../shared" ] && cp -R "$TOP/../shared" "$ROOT/ci/shared"
say "clean clone of $(git -C "$ROOT/ci/repo" log -1 --format='%h %s' | cut -c1-60) ($(elapsed))"

mount -t proc proc "$ROOT/proc" &&
  mount --bind /sys "$ROOT/sys" &&
  mount --bind /dev "$ROOT/dev" &&
  mount --bind /dev/pts "$ROOT/dev/pts" &&
  mount -t tmpfs -o mode=1777 shm "$ROOT/dev/shm" ||
  { remove_root; in_place "the root's /proc, /sys, /dev, /dev/pts and /dev/shm cannot be mounted"; }

# Inside, as a new user of the README would: the step before the commands,
# then make demo and make test, each with its time.
inside='
cd /ci/repo || exit 1
t=$(date +%s)
echo "== apt-get update && apt-get install git make"
{ apt-get update -qq && apt-get install -y -qq git make; } >/ci/first-step.log 2>&1 ||
  { tail -n 20 /ci/first-step.log; echo "the step before the commands failed"; exit 1; }
echo "== make demo"
t=$(date +%s)
make demo
echo $? >/ci/demo.rc
echo "make demo: exit $(cat /ci/demo.rc), $(($(date +%s) - t)) s"
echo "== make test"
t=$(date +%s)
make test
echo $? >/ci/test.rc
echo "make test: exit $(cat /ci/test.rc), $(($(date +%s) - t)) s"
'
env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  TERM=dumb DEBIAN_FRONTEND=noninteractive ${CI:+CI=$CI} \
  chroot "$ROOT" /bin/sh -c "$inside" 2>&1 | tee "$TOP/build/fresh-root.log"
# Tests keep their temporary files in the build folder: the root's /tmp
# holds only what the display and Wine keep there while they run.
left=$(find "$ROOT/tmp" -mindepth 1 -maxdepth 1 -name 'vexlo*' 2>/dev/null | wc -l)
say "vexlo files left in /tmp by make demo and make test: $left"
demo_rc=$(cat "$ROOT/ci/demo.rc" 2>/dev/null || echo 1)
test_rc=$(cat "$ROOT/ci/test.rc" 2>/dev/null || echo 1)
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' "$TOP/build/fresh-root.log" | tail -n 1)
# Ten gigabytes: kept only when asked for, to look inside.
if [ "${FRESH_ROOT_KEEP:-0}" = 1 ]; then
  unmount_all
  say "finished in $(elapsed); the root stays in build/fresh-root (FRESH_ROOT_KEEP=1)"
else
  remove_root
  say "finished in $(elapsed); the root is removed (FRESH_ROOT_KEEP=1 keeps it)"
fi
[ "$demo_rc" -eq 0 ] || say "make demo failed (exit $demo_rc): counted as one failure"
if [ -z "$summary" ]; then
  echo "0 passed, 1 failed, 0 skipped"
  exit 1
fi
set -- $(printf '%s\n' "$summary" | tr -dc '0-9 \n')
passed=$1 failed=$2 skipped=$3
[ "$demo_rc" -eq 0 ] || failed=$((failed + 1))
[ "$test_rc" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "$passed passed, $failed failed, $skipped skipped"
[ "$demo_rc" -eq 0 ] && [ "$test_rc" -eq 0 ]
