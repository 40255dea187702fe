# Shared by tools/run-tests.sh and the scripts of its stages (sourced, POSIX sh).
#
# A stage is one call: `stage NAME COMMAND...` (or `stage --background NAME
# COMMAND...`, collected by finish_stages). COMMAND runs with STAGE_COUNTS set
# to a file; it may write "PASSED FAILED SKIPPED" there (run_ctest does). A
# stage that writes no counts is one check: passed when it exits 0. A stage
# that exits non-zero never counts as passed, whatever it wrote.

STAGE_DIR=${STAGE_DIR:-$PWD/build/stages}
stage_count=0
stage_pids=""

# ctest_counts LOG: "PASSED FAILED SKIPPED" of a verbose (-V) ctest log. A
# GoogleTest binary counts its cases, from its own summary lines, so the cases
# it skips count as skipped even where ctest calls the whole binary "Passed";
# an entry without such lines counts as one.
ctest_counts() {
  awk '
    function entry(line) { return substr(line, 1, index(line, ":") - 1) + 0 }
    function number(line, word,   rest) {
      rest = substr(line, index(line, word) + length(word))
      return rest + 0
    }
    /^[0-9]+: \[  PASSED  \] [0-9]+ tests?\./ {
      n = entry($0); gp[n] += number($0, "[  PASSED  ] "); seen[n] = 1 }
    /^[0-9]+: \[  SKIPPED \] [0-9]+ tests?, listed below/ {
      n = entry($0); gs[n] += number($0, "[  SKIPPED ] "); seen[n] = 1 }
    /^[0-9]+: \[  FAILED  \] [0-9]+ tests?, listed below/ {
      n = entry($0); gf[n] += number($0, "[  FAILED  ] "); seen[n] = 1 }
    /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: / {
      rest = substr($0, index($0, "#") + 1); n = rest + 0
      if ($0 ~ / Passed +[0-9.]+ sec/) status[n] = "passed"
      else if ($0 ~ /\*\*\*(Skipped|Not Run)|Disabled/) status[n] = "skipped"
      else status[n] = "failed"
    }
    END {
      for (n in status) {
        if (n in seen) { p += gp[n]; f += gf[n]; s += gs[n] }
        else if (status[n] == "passed") p++
        else if (status[n] == "skipped") s++
        if (status[n] == "failed" && !((n in seen) && gf[n] > 0)) {
          # Failed outside its cases (crash, timeout, leak report at exit):
          # one failure in place of a pass.
          f++
          if ((n in seen) && gp[n] > 0) p--
        }
      }
      printf "%d %d %d\n", p, f, s
    }' "$1"
}

# run_ctest LOG COMMAND...: runs a ctest command (with -V) into LOG, shows its
# per-test lines (or its failures when there are many) and writes its counts
# to STAGE_COUNTS. Exits as ctest does.
run_ctest() {
  log=$1
  shift
  "$@" >"$log" 2>&1
  rc=$?
  results=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#' "$log")
  if [ "$results" -le 40 ]; then
    grep -E '^ *[0-9]+/[0-9]+ Test +#' "$log"
  else
    grep -E '^ *[0-9]+/[0-9]+ Test +#' "$log" | grep -v ' Passed ' || true
  fi
  sed -n '/^[0-9]*% tests passed/,$p' "$log" | grep -v '^Label Time Summary' | head -n 20
  [ "$rc" -eq 0 ] || echo "(whole log: $log)"
  counts=$(ctest_counts "$log")
  [ -n "${STAGE_COUNTS:-}" ] && echo "$counts" >"$STAGE_COUNTS"
  echo "cases: $counts (passed failed skipped)"
  return "$rc"
}

# build PRESET: configures once, builds, shows only warnings and errors.
build() {
  [ -f "build/$1/CMakeCache.txt" ] || cmake --preset "$1" >/dev/null || return 1
  cmake --build "build/$1" -j"${JOBS:-$(nproc)}" >"build/$1-build.log" 2>&1
  rc=$?
  grep -E 'warning|error|Error' "build/$1-build.log" || true
  return "$rc"
}

run_stage() {
  n=$1
  shift
  rm -f "$STAGE_DIR/$n.counts"
  export STAGE_COUNTS="$STAGE_DIR/$n.counts"
  start=$(date +%s)
  "$@"
  rc=$?
  echo "$rc $(($(date +%s) - start))" >"$STAGE_DIR/$n.result"
}

stage() {
  background=0
  if [ "$1" = "--background" ]; then
    background=1
    shift
  fi
  stage_count=$((stage_count + 1))
  mkdir -p "$STAGE_DIR"
  printf '%s\n' "$1" >"$STAGE_DIR/$stage_count.name"
  rm -f "$STAGE_DIR/$stage_count.result" "$STAGE_DIR/$stage_count.out"
  echo
  if [ "$background" -eq 1 ]; then
    echo "== $1 (in the background; shown at the end)"
    shift
    run_stage "$stage_count" "$@" >"$STAGE_DIR/$stage_count.out" 2>&1 &
    stage_pids="$stage_pids $!"
  else
    echo "== $1"
    shift
    run_stage "$stage_count" "$@"
  fi
}

# finish_stages STARTED: waits for the background stages, then prints the time
# and counts of each stage and, as the very last line,
# "N passed, M failed, K skipped". Exits 0 only when nothing failed.
finish_stages() {
  started=$1
  for pid in $stage_pids; do wait "$pid"; done
  passed=0
  failed=0
  skipped=0
  report=""
  i=1
  while [ "$i" -le "$stage_count" ]; do
    name=$(cat "$STAGE_DIR/$i.name")
    if [ -f "$STAGE_DIR/$i.out" ]; then
      echo
      echo "== $name"
      cat "$STAGE_DIR/$i.out"
    fi
    set -- 1 0
    [ -f "$STAGE_DIR/$i.result" ] && set -- $(cat "$STAGE_DIR/$i.result")
    rc=$1
    seconds=$2
    if [ -f "$STAGE_DIR/$i.counts" ]; then
      set -- $(cat "$STAGE_DIR/$i.counts")
      p=$1 f=$2 s=$3
    elif [ "$rc" -eq 0 ]; then
      p=1 f=0 s=0
    else
      p=0 f=1 s=0
    fi
    [ "$rc" -ne 0 ] && [ "$f" -eq 0 ] && f=1
    passed=$((passed + p))
    failed=$((failed + f))
    skipped=$((skipped + s))
    report="$report
  $name: $p passed, $f failed, $s skipped, ${seconds} s"
    i=$((i + 1))
  done
  echo
  echo "stages:$report"
  echo "whole run: $(($(date +%s) - started)) s"
  echo "$passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
}
