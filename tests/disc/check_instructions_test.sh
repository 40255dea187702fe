#!/bin/sh
# tools/check-instructions.sh on small 32-bit programs of the test's own,
# assembled with the toolchain: a 486 program passes; each family of later
# instructions is found and named, with prefixes before it; the decoder's
# SSE2 copy may hold them only inside the ranges its map gives, whatever the
# length of its section names; missing programs, maps and non-programs fail.
#
#   check_instructions_test.sh CHECK CC AR
set -u
check=$1 cc=$2 ar=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Linked alone, without the toolchain's start files and libraries: only the
# test's own instructions are in the programs.
link="-nostdlib -Wl,-e,_main"

# program NAME BODY: a program whose main runs the instructions of BODY
# (AT&T syntax, one per line), linked with a map.
program() {
  printf '%s\n' ".text" ".globl _main" "_main:" "$2" "xorl %eax, %eax" "ret" >"$work/$1.s"
  # shellcheck disable=SC2086 # options, split on purpose
  "$cc" $link -o "$work/$1.exe" "$work/$1.s" -Wl,-Map="$work/$1.map" || fail "$1: not assembled"
}

# expect_pass NAME [OPTIONS]: the check passes and counts nothing outside.
expect_pass() {
  name=$1
  shift
  if ! sh "$check" "$@" >"$work/out" 2>&1; then fail "$name refused: $(cat "$work/out")"; fi
  grep -q ": 0 instructions a 486 lacks outside" "$work/out" || fail "$name: $(cat "$work/out")"
}

# expect_found NAME COUNT FAMILY [OPTIONS]: the check fails, counts COUNT
# outside, and names FAMILY.
expect_found() {
  name=$1 count=$2 family=$3
  shift 3
  if sh "$check" "$@" >"$work/out" 2>&1; then fail "$name passed: $(cat "$work/out")"; fi
  grep -q ": $count instructions a 486 lacks outside" "$work/out" ||
    fail "$name: not $count outside: $(cat "$work/out")"
  grep -qF "$family" "$work/out" || fail "$name: $family not named: $(cat "$work/out")"
}

# The 486's own: bswap, cmpxchg, xadd, x87 compares through the status word,
# string moves with rep, cpuid (behind the ID flag test in real code), nops.
program plain "bswap %eax
lock cmpxchgl %ecx, (%esp)
xaddl %eax, %ecx
fldz
fldz
fcompp
fnstsw %ax
sahf
rep movsb
cpuid
nop
lea 0x0(%esi), %esi"
expect_pass plain -m "$work/plain.map" "$work/plain.exe"
expect_pass "plain without a map" "$work/plain.exe"

i=0
while IFS='|' read -r instruction family; do
  i=$((i + 1))
  program "later$i" "$instruction"
  expect_found "$instruction" 1 "$family" -m "$work/later$i.map" "$work/later$i.exe"
done <<'EOF'
cmovne %ecx, %eax|cmov (P6)
fcmovb %st(1), %st|fcmov (P6)
fcomi %st(1), %st|fcomi/fucomi (P6)
fucomip %st(1), %st|fcomi/fucomi (P6)
nopl 0x0(%eax)|long nop (P6)
sysenter|sysenter (P6 and later)
lock cmpxchg8b (%esp)|cmpxchg8b (Pentium and later)
rdtsc|rdtsc (Pentium and later)
movd %eax, %mm0|MMX register
emms|emms (MMX/SSE and later)
addps %xmm0, %xmm1|SSE/AVX register
ldmxcsr (%esp)|ldmxcsr (MMX/SSE and later)
prefetchnta (%esp)|prefetchnta (MMX/SSE and later)
fisttpl (%esp)|fisttpl (MMX/SSE and later)
popcnt %eax, %ecx|popcnt (SSE4 era and later)
tzcnt %eax, %ecx|tzcnt (SSE4 era and later)
vaddps %ymm0, %ymm1, %ymm2|SSE/AVX register
EOF

# Several families in one program: each counted, the total their sum.
program mixed "cmovne %ecx, %eax
cmove %ecx, %eax
fucomi %st(1), %st
pxor %xmm0, %xmm0"
expect_found mixed 4 "cmov (P6): 2" -m "$work/mixed.map" "$work/mixed.exe"
grep -q "SSE/AVX register: 1" "$work/out" || fail "mixed: SSE not counted: $(cat "$work/out")"

# The SSE2 copy: code from libvexlo_mpeg_sse2.a may use SSE2, in a section
# with a short name and in one whose name stands alone on its map line.
cat >"$work/copy.s" <<'EOF'
.section .text$short,"x"
.globl _copyShort
_copyShort:
addpd %xmm0, %xmm1
cmovne %ecx, %eax
ret
.section .text$vexloSse2_a_name_long_enough_to_stand_alone_on_its_line,"x"
.globl _copyLong
_copyLong:
mulpd %xmm0, %xmm1
ret
EOF
printf '%s\n' ".text" ".globl _main" "_main:" "call _copyShort" "call _copyLong" \
  "xorl %eax, %eax" "ret" >"$work/main.s"
"$cc" -c -o "$work/copy.obj" "$work/copy.s" && "$cc" -c -o "$work/main.obj" "$work/main.s" ||
  fail "copy: not assembled"
rm -f "$work/libvexlo_mpeg_sse2.a" "$work/libother.a"
"$ar" qcs "$work/libvexlo_mpeg_sse2.a" "$work/copy.obj"
"$ar" qcs "$work/libother.a" "$work/copy.obj"
# shellcheck disable=SC2086
"$cc" $link -o "$work/copy.exe" "$work/main.obj" "$work/libvexlo_mpeg_sse2.a" \
  -Wl,-Map="$work/copy.map" || fail "copy: not linked"
grep -q '^ \.text\$vexloSse2_a_name_long_enough_to_stand_alone_on_its_line$' "$work/copy.map" ||
  fail "the long section name does not stand alone in the map"
expect_pass "copy" -m "$work/copy.map" "$work/copy.exe"
grep -q ", 3 inside it (2 ranges)" "$work/out" || fail "copy: not 3 inside: $(cat "$work/out")"
expect_found "copy without its map" 3 "SSE/AVX register: 2" "$work/copy.exe"
# The same code from another library is outside the copy.
# shellcheck disable=SC2086
"$cc" $link -o "$work/other.exe" "$work/main.obj" "$work/libother.a" -Wl,-Map="$work/other.map" ||
  fail "other: not linked"
expect_found "another library's SSE2" 3 "cmov (P6): 1" -m "$work/other.map" "$work/other.exe"
# A map applies to the program after it only.
expect_found "map of the one before" 3 "SSE/AVX register" -m "$work/copy.map" "$work/plain.exe" \
  "$work/copy.exe"

# What cannot be checked fails.
if sh "$check" "$work/missing.exe" >"$work/out" 2>&1; then fail "a missing program passed"; fi
grep -q "missing.exe: missing" "$work/out" || fail "missing not named: $(cat "$work/out")"
if sh "$check" -m "$work/missing.map" "$work/plain.exe" >"$work/out" 2>&1; then
  fail "a missing map passed"
fi
grep -q "cannot read its map" "$work/out" || fail "missing map not named: $(cat "$work/out")"
printf 'not a program\n' >"$work/text.exe"
if sh "$check" "$work/text.exe" >"$work/out" 2>&1; then fail "a text file passed"; fi
# One bad program among good ones fails the whole check, and every program
# is still reported.
if sh "$check" "$work/plain.exe" "$work/later1.exe" "$work/plain.exe" >"$work/out" 2>&1; then
  fail "a bad program among good ones passed"
fi
[ "$(grep -c "instructions a 486 lacks" "$work/out")" -eq 3 ] ||
  fail "not every program reported: $(cat "$work/out")"
sh "$check" >/dev/null 2>&1
[ $? -eq 2 ] || fail "no program is not a usage error"

[ "$failures" -eq 0 ] && echo "all instruction checks passed"
exit "$failures"
