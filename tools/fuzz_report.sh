#!/usr/bin/env bash
# Fuzzing figures for one code folder: each fuzz target run for a fixed time
# (one at a time, niced, one core), then the line coverage of forecast/,
# almanac/ and common/ that each target's inputs reach.
#
#   tools/fuzz_report.sh --out DIR [--src DIR] [--seconds N] [--dicts] [--big]
#                        [--targets "forecast almanac ..."] [--coverage-only]
#
#   --src DIR      the checkout to measure (default: the one holding this script).
#                  The recorded replies are seeds only when ../shared/fixtures
#                  lies beside it, as for the build.
#   --out DIR      builds, corpora, crashing inputs, logs and report.txt; keep it
#                  outside the repository (e.g. /work/fuzzdata/before).
#   --seconds N    fuzzing time per target (default 600).
#   --dicts        pass fuzz/dicts/<target>.dict of the code folder (-dict=).
#   --big          add the big-input options of fuzz/big-input.options.
#   --coverage-only  skip the fuzzing; measure the corpora already in --out.
#
# A run that stops on a finding is started again on the same corpus for the
# rest of the time; executions are summed over the runs and the findings
# counted (their inputs stay in OUT/artifacts/<target>/).
#
# Coverage: a clang build of the replay programs (fuzz/ReplayMain.cpp) with
# -fprofile-instr-generate -fcoverage-mapping replays the corpus and the
# seeds the fuzzer started from; llvm-profdata merges the profiles and
# llvm-cov counts the lines of the three folders that are linked into the
# target.
set -euo pipefail

SRC=$(cd "$(dirname "$0")/.." && pwd)
OUT=""
SECONDS_PER_TARGET=600
DICTS=0
BIG=0
TARGETS=""
COVERAGE_ONLY=0
while [ $# -gt 0 ]; do
  case "$1" in
    --src) SRC=$(cd "$2" && pwd); shift 2 ;;
    --out) OUT=$2; shift 2 ;;
    --seconds) SECONDS_PER_TARGET=$2; shift 2 ;;
    --dicts) DICTS=1; shift ;;
    --big) BIG=1; shift ;;
    --targets) TARGETS=$2; shift 2 ;;
    --coverage-only) COVERAGE_ONLY=1; shift ;;
    *) echo "unknown option $1 (see the head of $0)" >&2; exit 2 ;;
  esac
done
[ -n "$OUT" ] || { echo "usage: $0 --out DIR [--src DIR] [--seconds N] [--dicts] [--big]" >&2; exit 2; }
case "$SECONDS_PER_TARGET" in ''|*[!0-9]*|0) echo "--seconds: a whole number above 0" >&2; exit 2 ;; esac
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
case "$OUT/" in "$SRC"/*) echo "--out must lie outside the code folder" >&2; exit 2 ;; esac

JOBS=2
FUZZ_BUILD="$OUT/build-fuzz"
COV_BUILD="$OUT/build-cov"
REPORT="$OUT/report.txt"

# As build.sh: sanitizer reports stop the program and name the file and line.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen

echo "== Fuzz build of $SRC ($FUZZ_BUILD)"
cmake -S "$SRC" -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DSELVORRA_FUZZ=ON -DSELVORRA_TESTS=OFF -DSELVORRA_BENCH=OFF >"$OUT/configure-fuzz.log"
[ -n "$TARGETS" ] || TARGETS=$(cut -d' ' -f1 "$FUZZ_BUILD/fuzz/targets.txt" | tr '\n' ' ')

EXTRA_OPTIONS=()
if [ $BIG -eq 1 ]; then
  [ -f "$SRC/fuzz/big-input.options" ] || { echo "$SRC/fuzz/big-input.options is missing" >&2; exit 2; }
  mapfile -t EXTRA_OPTIONS < <(grep -v -e '^#' -e '^ *$' "$SRC/fuzz/big-input.options")
fi

declare -A EXECS RUNS FINDINGS
if [ $COVERAGE_ONLY -eq 0 ]; then
  nice -n 10 cmake --build "$FUZZ_BUILD" -j$JOBS --target $(printf 'fuzz_%s ' $TARGETS) >"$OUT/build-fuzz.log"
  for name in $TARGETS; do
    seeds=$(grep "^$name " "$FUZZ_BUILD/fuzz/targets.txt" | cut -d' ' -f2-)
    seed_dirs=()
    for s in $seeds; do [ -d "$s" ] && seed_dirs+=("$s"); done
    [ $BIG -eq 1 ] && [ -d "$SRC/fuzz/regressions/$name" ] && seed_dirs+=("$SRC/fuzz/regressions/$name")
    dict=()
    if [ $DICTS -eq 1 ]; then
      if [ -f "$SRC/fuzz/dicts/$name.dict" ]; then dict=("-dict=$SRC/fuzz/dicts/$name.dict")
      else echo "  ($name: no dictionary in $SRC/fuzz/dicts)"; fi
    fi
    corpus="$OUT/corpus/$name" artifacts="$OUT/artifacts/$name" logs="$OUT/logs/$name"
    mkdir -p "$corpus" "$artifacts" "$logs"
    printf '%s\n' "${seed_dirs[@]}" >"$OUT/corpus/$name.seeds"
    remaining=$SECONDS_PER_TARGET execs=0 runs=0 findings=0 quick=0
    echo "== fuzz_$name for $SECONDS_PER_TARGET s"
    while [ "$remaining" -gt 0 ] && [ $quick -lt 3 ]; do
      runs=$((runs + 1))
      log="$logs/run$runs.log"
      started=$(date +%s)
      rc=0
      nice -n 10 "$FUZZ_BUILD/fuzz/fuzz_$name" "$corpus" "${seed_dirs[@]}" \
        -max_total_time="$remaining" -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "${dict[@]}" "${EXTRA_OPTIONS[@]}" >"$log" 2>&1 </dev/null || rc=$?
      elapsed=$(( $(date +%s) - started ))
      remaining=$((remaining - elapsed))
      n=$(grep -o 'number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
      [ -n "$n" ] || n=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#' || true)
      execs=$((execs + ${n:-0}))
      [ $rc -eq 0 ] && break
      findings=$((findings + 1))
      echo "  finding after ${elapsed} s: $(grep -m1 -E 'ERROR: |runtime error|fuzz check failed|deadly signal' "$log" || echo "exit $rc")"
      # The same input failing again at once (e.g. a seed): do not spin.
      if [ $elapsed -lt 5 ]; then quick=$((quick + 1)); else quick=0; fi
    done
    EXECS[$name]=$execs RUNS[$name]=$runs FINDINGS[$name]=$findings
    echo "  $execs executions in $runs run(s), $findings finding(s)"
  done
fi

echo "== Coverage build of the replay programs ($COV_BUILD)"
cmake -S "$SRC" -B "$COV_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DSELVORRA_TESTS=ON -DSELVORRA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
  -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >"$OUT/configure-cov.log"
nice -n 10 cmake --build "$COV_BUILD" -j$JOBS --target $(printf 'fuzz_%s_replay ' $TARGETS) >"$OUT/build-cov.log"

{
  echo "Fuzzing of $SRC ($(git -C "$SRC" rev-parse --short HEAD 2>/dev/null || echo 'not a git checkout'))"
  echo "seconds per target: $SECONDS_PER_TARGET; dictionaries: $([ $DICTS -eq 1 ] && echo yes || echo no); big inputs: $([ $BIG -eq 1 ] && echo "yes (${EXTRA_OPTIONS[*]})" || echo no)"
  echo "line coverage: lines reached / lines of the folder's files linked into the target"
  printf '%-10s %6s %10s %8s   %-18s %-18s %-18s %-18s\n' target runs executions findings forecast/ almanac/ common/ "all three"
} >"$REPORT"

for name in $TARGETS; do
  covdir="$OUT/coverage/$name"
  rm -rf "$covdir"
  mkdir -p "$covdir"
  inputs=("$OUT/corpus/$name")
  if [ -f "$OUT/corpus/$name.seeds" ]; then
    while read -r s; do [ -n "$s" ] && inputs+=("$s"); done <"$OUT/corpus/$name.seeds"
  fi
  replay="$COV_BUILD/fuzz/fuzz_${name}_replay"
  # One process for all inputs; should one of them stop it, each input is
  # replayed on its own so that the others still count.
  if ! LLVM_PROFILE_FILE="$covdir/all-%p.profraw" "$replay" "${inputs[@]}" >"$covdir/replay.log" 2>&1; then
    rm -f "$covdir"/*.profraw
    find "${inputs[@]}" -type f 2>/dev/null | while read -r f; do
      LLVM_PROFILE_FILE="$covdir/one-%p.profraw" "$replay" "$f" >/dev/null 2>&1 || echo "replay stopped: $f" >>"$covdir/replay.log"
    done
  fi
  llvm-profdata merge -sparse "$covdir"/*.profraw -o "$covdir/merged.profdata"
  llvm-cov export -summary-only "$replay" -instr-profile="$covdir/merged.profdata" >"$covdir/summary.json"
  line=$(python3 - "$covdir/summary.json" "$SRC" <<'EOF'
import json, os, sys
data = json.load(open(sys.argv[1]))
src = os.path.realpath(sys.argv[2])
sums = {f: [0, 0] for f in ("forecast", "almanac", "common")}
for entry in data["data"][0]["files"]:
    path = os.path.realpath(entry["filename"])
    if not path.startswith(src + "/"):
        continue
    folder = path[len(src) + 1:].split("/")[0]
    if folder in sums:
        lines = entry["summary"]["lines"]
        sums[folder][0] += lines["covered"]
        sums[folder][1] += lines["count"]
def cell(c, n):
    return "-" if n == 0 else "%d/%d %.1f%%" % (c, n, 100.0 * c / n)
total = [sum(v[0] for v in sums.values()), sum(v[1] for v in sums.values())]
print(" ".join("%-18s" % cell(*sums[f]) for f in ("forecast", "almanac", "common")) + " " + cell(*total))
EOF
)
  printf '%-10s %6s %10s %8s   %s\n' "$name" "${RUNS[$name]:--}" "${EXECS[$name]:--}" "${FINDINGS[$name]:--}" "$line" >>"$REPORT"
done
echo
cat "$REPORT"
