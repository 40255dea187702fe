#!/bin/sh
# Checks that 32-bit Windows programs run on a 486 and later: disassembles
# every executable section and fails on any instruction a 486 does not have.
# That is the Pentium's own (cmpxchg8b, rdtsc...), the Pentium Pro's (cmov*,
# fcmov*, fcomi*, fucomi*, the long NOPs...), and MMX, SSE and later (any
# mm/xmm/ymm register, their mnemonics, fisttp, popcnt...). Only the decoder's
# SSE2 copy, which runs only after its processor check, may hold them: a
# program's linker map (-m MAP before it) gives that copy's address ranges,
# the input sections that came from libvexlo_mpeg_sse2.a. Without a map the
# whole program must be plain.
#
#   tools/check-instructions.sh [-m MAP] PROGRAM [[-m MAP] PROGRAM]...
#
# Prints per program the count of instructions outside the copy and inside
# it, then every family it found outside with its count and first address;
# exits non-zero on any outside, or on a program it cannot read.
set -eu
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
[ $# -ge 1 ] || { echo "usage: $0 [-m MAP] PROGRAM..." >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/check-instructions.XXXXXX")
trap 'rm -rf "$work"' EXIT

# ranges MAP: "START SIZE" (hex) of every code section the
# SSE2 copy brought in. In ld's map a long section name stands alone on its
# line, its address, size and file on the next.
ranges() {
  awk '
    # Before the memory map come the discarded sections, at address 0.
    /^Linker script and memory map/ { mapped = 1 }
    !mapped { next }
    function take(addr, size, file) {
      if (file ~ /libvexlo_mpeg_sse2\.a\(/ && size != "0x0") printf "%s %s\n", addr, size
    }
    pending != "" {
      if ($1 ~ /^0x/ && NF >= 3) take($1, $2, $3)
      pending = ""
    }
    /^ \.text/ {
      if (NF == 1) pending = $1
      else if ($2 ~ /^0x/ && NF >= 4) take($2, $3, $4)
    }' "$1"
}

status=0
map=""
while [ $# -gt 0 ]; do
  if [ "$1" = "-m" ]; then
    [ $# -ge 2 ] || { echo "check-instructions: -m needs a map" >&2; exit 2; }
    map=$2
    shift 2
    continue
  fi
  program=$1
  shift
  name=$(basename "$program")
  if [ ! -f "$program" ]; then
    echo "check-instructions: $program: missing"
    status=1
    map=""
    continue
  fi
  : >"$work/ranges"
  if [ -n "$map" ]; then
    if [ ! -r "$map" ]; then
      echo "check-instructions: $name: cannot read its map $map"
      status=1
      map=""
      continue
    fi
    ranges "$map" >"$work/ranges"
  fi
  map=""
  if ! "$OBJDUMP" -d --no-show-raw-insn "$program" >"$work/listing"; then
    echo "check-instructions: $name: objdump failed"
    status=1
    continue
  fi
  if ! awk -v program="$name" '
    function hex(s,   i, c, v) {
      v = 0
      s = tolower(s)
      sub(/^0x/, "", s)
      for (i = 1; i <= length(s); i++) {
        c = index("0123456789abcdef", substr(s, i, 1))
        if (c == 0) break
        v = v * 16 + c - 1
      }
      return v
    }
    # The family of an instruction a 486 lacks, or "".
    function family(mnemonic, operands) {
      if (operands ~ /%(x|y|z)mm[0-9]/) return "SSE/AVX register"
      if (operands ~ /%mm[0-7]/) return "MMX register"
      if (operands ~ /%k[0-7]/) return "AVX-512 mask register"
      if (mnemonic ~ /^f?cmov/) return mnemonic ~ /^f/ ? "fcmov (P6)" : "cmov (P6)"
      if (mnemonic ~ /^fu?com(i|ip|pi)$/) return "fcomi/fucomi (P6)"
      if (mnemonic ~ /^nop/ && operands != "") return "long nop (P6)"
      if (mnemonic ~ /^(sysenter|sysexit|rdpmc|fxsave|fxrstor|endbr32|endbr64)/) return mnemonic " (P6 and later)"
      if (mnemonic ~ /^(cmpxchg8b|rdtscp?|rdmsr|wrmsr)/) return mnemonic " (Pentium and later)"
      if (mnemonic ~ /^(emms|femms|ldmxcsr|stmxcsr|sfence|lfence|mfence|clflush|movnti|prefetch|maskmov|fisttp|monitor|mwait|xgetbv|xsave|xrstor|vzero|rdrand|rdseed)/)
        return mnemonic " (MMX/SSE and later)"
      if (mnemonic ~ /^(popcnt|lzcnt|tzcnt|movbe|crc32|andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox)/)
        return mnemonic " (SSE4 era and later)"
      return ""
    }
    BEGIN { n = 0 }
    FILENAME == ARGV[1] { start[n] = hex($1); end[n] = hex($1) + hex($2); n++; next }
    # Instruction lines: "  401000:\tmnemonic operands".
    /^ *[0-9a-f]+:\t/ {
      split($0, part, "\t")
      addr = part[1]; sub(/:$/, "", addr); sub(/^ +/, "", addr)
      text = part[2]
      # Prefixes (lock, rep, data16...) stand before the mnemonic.
      while (text ~ /^(lock|rep[a-z]*|data16|addr16|cs|ds|es|fs|gs|ss|bnd|notrack) /) sub(/^[a-z0-9]+ /, "", text)
      mnemonic = text; sub(/[ \t].*/, "", mnemonic)
      operands = text; sub(/^[^ \t]*[ \t]*/, "", operands); sub(/ *#.*/, "", operands); sub(/ *<.*/, "", operands)
      f = family(mnemonic, operands)
      if (f == "") next
      a = hex(addr)
      for (i = 0; i < n; i++) if (a >= start[i] && a < end[i]) { inside++; next }
      outside++
      if (!(f in count)) { first[f] = addr; order[++families] = f }
      count[f]++
    }
    END {
      printf "%s: %d instructions a 486 lacks outside the SSE2 copy, %d inside it (%d ranges)\n",
        program, outside, inside, n
      for (i = 1; i <= families; i++)
        printf "%s:   %s: %d (first at 0x%s)\n", program, order[i], count[order[i]], first[order[i]]
      exit outside > 0
    }' "$work/ranges" "$work/listing"; then
    status=1
  fi
done
exit $status
