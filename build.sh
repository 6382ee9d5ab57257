#!/usr/bin/env bash
# Set-up, build and run for Selvorra on Debian 12.
#   ./build.sh run    install the packages the program needs, build the program
#                     alone, start it
#   ./build.sh test   install missing packages, build, run every test headless; then the
#                     same suite with AddressSanitizer and UndefinedBehaviorSanitizer, the
#                     short soak under the leak check, and each fuzz target for 10 s
#   ./build.sh soak   install missing packages, build, 2000 refresh cycles: memory growth
#   ./build.sh fuzz [seconds]  install missing packages, build the fuzz targets (clang),
#                     run each for that long (default 60 s)
#   ./build.sh fuzz-big [seconds]  the same with inputs of several MiB, a time
#                     and memory limit per input (fuzz/big-input.options), and the
#                     kept regression inputs among the seeds
#   ./build.sh bench  install missing packages, build, print the speed and size figures
#   ./build.sh package  build selvorra_<version>_<arch>.deb here, checked by lintian
set -euo pipefail

cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD_DIR="$ROOT/build"
# The checked builds beside it (clang): the sanitizer build of the whole suite
# with the fuzz targets, and the fuzz targets alone. Fuzzing output (corpora,
# crashing inputs, logs) stays inside these folders.
ASAN_DIR="$ROOT/build-asan"
FUZZ_DIR="$ROOT/build-fuzz"
# The package's own build: installed under /usr, with Debian's hardening flags.
DEB_DIR="$ROOT/build-deb"

# From Debian only. What building and running the program needs:
RUN_PACKAGES=(
  g++ make cmake pkg-config
  qt6-base-dev libgl-dev libegl-dev libxkbcommon-dev
  libcurl4-openssl-dev libpugixml-dev
  ca-certificates tzdata xdg-utils fonts-dejavu-core
)
# What the tests, the soak run and the benchmarks add (the loopback HTTPS
# server, the desktop validators, the package check (cpack reads the program
# with dpkg-shlibdeps and file), the private session bus of the notification
# test, Google Benchmark):
TEST_PACKAGES=(libssl-dev openssl desktop-file-utils appstream dpkg-dev file dbus-daemon)
BENCH_PACKAGES=(libbenchmark-dev)
# The sanitizer build and the fuzz targets:
CLANG_PACKAGES=(clang libclang-rt-14-dev llvm)
# Making and checking the .deb:
PACKAGE_PACKAGES=(dpkg-dev file lintian)

# install_missing PACKAGE...: installs those of them that are missing.
install_missing() {
  local missing=()
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build [cmake options...]: the build folder with the tests and the soak run
# (and, with -DSELVORRA_BENCH=ON, the benchmarks).
build() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSELVORRA_TESTS=ON "$@"
  cmake --build "$BUILD_DIR" -j"$(nproc)"
}

# The program and what it installs with it (icons, manual page), nothing else.
PROGRAM_TARGETS=(--target selvorra selvorra_icons selvorra_docs)

# Sanitizer reports stop the program and name the file and line.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# configure_checked DIR [cmake options...]: a clang build with the sanitizers
# and the fuzz targets.
configure_checked() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DSELVORRA_FUZZ=ON "$@"
}

# run_fuzz_targets DIR SECONDS [big]: each fuzz target of DIR for SECONDS,
# seeded from fuzz/seeds and the recorded replies (when present), with the
# markers of fuzz/dicts/<target>.dict; new inputs go to DIR/fuzz-corpus, a
# crashing input to DIR/fuzz-artifacts. "big": the options of
# fuzz/big-input.options, fuzz/regressions among the seeds, so that an input
# that once was slow is tried against the time limit, and DIR/fuzz-corpus-big.
# Fails when any target finds a fault.
run_fuzz_targets() {
  local dir=$1 seconds=$2 mode=${3:-} failed=0 name seeds
  local options=(-timeout=10)
  if [ "$mode" = big ]; then
    mapfile -t options < <(grep -v -e '^#' -e '^ *$' "$ROOT/fuzz/big-input.options")
  fi
  while read -r name seeds; do
    [ -n "$name" ] || continue
    # Big inputs would slow the ordinary runs down: they keep their own corpus.
    local corpus="$dir/fuzz-corpus${mode:+-$mode}/$name" artifacts="$dir/fuzz-artifacts/$name"
    local log="$dir/fuzz-logs/$name${mode:+-$mode}.log"
    mkdir -p "$corpus" "$artifacts" "$dir/fuzz-logs"
    local seed_dirs=() seed dict=()
    [ "$mode" = big ] && seeds="$seeds $ROOT/fuzz/regressions/$name"
    for seed in $seeds; do
      if [ -d "$seed" ]; then seed_dirs+=("$seed"); else echo "  ($name: seed folder $seed absent, skipped)"; fi
    done
    [ -f "$ROOT/fuzz/dicts/$name.dict" ] && dict=("-dict=$ROOT/fuzz/dicts/$name.dict")
    if "$dir/fuzz/fuzz_$name" "$corpus" "${seed_dirs[@]}" -max_total_time="$seconds" \
        "${options[@]}" "${dict[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 </dev/null; then
      echo "fuzz_$name: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$') executions in ${seconds} s, no fault"
    else
      echo "fuzz_$name: FAULT FOUND (input kept in $artifacts; log $log)" >&2
      grep -E -A25 'ERROR: |runtime error|fuzz check failed|deadly signal' "$log" | head -60 >&2 || tail -40 "$log" >&2
      failed=1
    fi
  done <"$dir/fuzz/targets.txt"
  return $failed
}

case "${1:-}" in
  run)
    install_missing "${RUN_PACKAGES[@]}"
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DSELVORRA_TESTS=OFF -DSELVORRA_BENCH=OFF
    cmake --build "$BUILD_DIR" -j"$(nproc)" "${PROGRAM_TARGETS[@]}"
    exec "$BUILD_DIR/selvorra"
    ;;
  test)
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" "${CLANG_PACKAGES[@]}"
    # The benchmarks are built too, so a change that breaks them shows here.
    build -DSELVORRA_BENCH=ON
    (cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

    echo "== The suite with AddressSanitizer and UndefinedBehaviorSanitizer ($ASAN_DIR)"
    configure_checked "$ASAN_DIR" -DSELVORRA_BENCH=OFF
    cmake --build "$ASAN_DIR" -j"$(nproc)"
    (cd "$ASAN_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" -E '^soak_')

    echo "== 100 refresh cycles under the leak check"
    (cd "$ASAN_DIR" && QT_QPA_PLATFORM=offscreen ./selvorra_soak --cycles 100) || {
      rc=$?
      [ $rc -eq 77 ] || exit $rc
    }

    echo "== Each fuzz target for 10 s"
    run_fuzz_targets "$ASAN_DIR" 10
    ;;
  soak)
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build
    rc=0
    (cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ./selvorra_soak --cycles 2000) || rc=$?
    # 77: the recorded replies beside the checkout are absent; the run said so.
    [ $rc -eq 77 ] && rc=0
    exit $rc
    ;;
  fuzz|fuzz-big)
    seconds=${2:-60}
    case "$seconds" in
      ''|*[!0-9]*|0) echo "usage: $0 $1 [seconds]   (a whole number above 0)" >&2; exit 2 ;;
    esac
    install_missing "${RUN_PACKAGES[@]}" "${CLANG_PACKAGES[@]}"
    configure_checked "$FUZZ_DIR" -DSELVORRA_TESTS=OFF -DSELVORRA_BENCH=OFF
    cmake --build "$FUZZ_DIR" -j"$(nproc)" --target \
      $(cut -d' ' -f1 "$FUZZ_DIR/fuzz/targets.txt" | sed 's/^/fuzz_/')
    run_fuzz_targets "$FUZZ_DIR" "$seconds" "$([ "$1" = fuzz-big ] && echo big)"
    ;;
  bench)
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    build -DSELVORRA_BENCH=ON
    cd "$BUILD_DIR"
    echo "== Forecast and sun/moon pipelines, per recorded reply (compare the medians)"
    ./bench/selvorra_pipeline_bench
    echo "== One day's sun and moon values computed here (aim: under 1 ms)"
    ./bench/selvorra_sky_bench
    echo "== Start-up, memory and connections against two loopback HTTPS servers; offline start from the kept replies"
    QT_QPA_PLATFORM=offscreen ./bench/selvorra_startup_driver
    echo "== The hourly window: recorded hourly replies read (aim: under 5 ms) and its chart painted (aim: under 4 ms)"
    QT_QPA_PLATFORM=offscreen ./bench/selvorra_hourly_bench
    echo "== A tick whose alerts answer 304 (aim: under 1 ms) and the hourly window opened with kept hours (aim: under 50 ms)"
    QT_QPA_PLATFORM=offscreen ./bench/selvorra_window_bench
    echo "== Time and memory of each text stage as hostile inputs grow (1, 4, 16 MiB)"
    ./bench/selvorra_scaling_bench
    ;;
  package)
    install_missing "${RUN_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    # Debian's compiler and linker flags (hardening included), as Debian's
    # own packages are built with; read by CMake on the first configure.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
    export CXXFLAGS LDFLAGS
    cmake -S "$ROOT" -B "$DEB_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
      -DSELVORRA_TESTS=OFF -DSELVORRA_BENCH=OFF
    cmake --build "$DEB_DIR" -j"$(nproc)" "${PROGRAM_TARGETS[@]}"
    rm -f "$DEB_DIR"/selvorra_*.deb
    (cd "$DEB_DIR" && cpack -G DEB)
    deb=$(ls "$DEB_DIR"/selvorra_*.deb)
    rm -f "$ROOT"/selvorra_*.deb
    cp "$deb" "$ROOT/"
    deb="$ROOT/$(basename "$deb")"
    echo "== lintian $(basename "$deb")"
    lintian --fail-on error,warning --display-level ">=pedantic" "$deb"
    echo "Built $deb"
    echo "Install: apt install $deb    Remove: apt purge selvorra"
    ;;
  *)
    echo "usage: $0 run|test|bench|soak|fuzz [seconds]|fuzz-big [seconds]|package" >&2
    exit 2
    ;;
esac
