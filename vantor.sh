#!/usr/bin/env bash
# The project's driver: `./vantor.sh demo` renders the demo, `./vantor.sh test` runs every test,
# `./vantor.sh audition` renders and measures every factory program.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

# Debian packages each command needs; installed when missing.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config ccache libsndfile1-dev libpng-dev zlib1g-dev
  libfreetype-dev fonts-dejavu-core libfftw3-dev)
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev)
# Seconds each fuzz target runs in `./vantor.sh test`.
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
# Test binaries that are also built alone, and run, under ThreadSanitizer.
TSAN_TESTS=(editor_thread_tests)

need_packages() {
  local missing=()
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]} ..."
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# configure_build DIR [cmake options...]
configure_build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

run_ctest() {
  local dir=$1
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" --timeout 600)
}

# Builds the fuzz targets with libFuzzer and runs each for FUZZ_SECONDS on a copy of its seeds.
run_fuzzers() {
  echo "== fuzzing, ${FUZZ_SECONDS} s per target =="
  local dir=build-fuzz
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTOR_FUZZ=ON -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF >/dev/null
  cmake --build "$dir" -j "$JOBS" --target fuzz_targets
  mkdir -p "$dir/artifacts"
  for seeds in "$ROOT"/tests/fuzz/corpus/*/; do
    local name
    name=$(basename "$seeds")
    mkdir -p "$dir/corpus/$name"
    echo "-- fuzz_$name"
    "$dir/tests/fuzz/fuzz_$name" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/artifacts/$name-" \
      "$dir/corpus/$name" "$seeds" 2>"$dir/fuzz_$name.log" ||
      { tail -n 40 "$dir/fuzz_$name.log"; echo "fuzz_$name failed" >&2; return 1; }
    grep -E '^stat::number_of_executed_units' "$dir/fuzz_$name.log" || true
  done
}

cmd_demo() {
  need_packages "${BUILD_PACKAGES[@]}"
  configure_build build -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
  mkdir -p out
  build/tools/vantor_demo out/demo.wav
}

# Renders every factory program through the built plug-in with vsthost into out/audition: a WAV
# and a picture each, a contact sheet of all, and descriptors.csv.
cmd_audition() {
  need_packages "${BUILD_PACKAGES[@]}"
  configure_build build -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
  local vsthost=${VSTHOST:-build/tools/vsthost/vsthost}
  if [ ! -x "$vsthost" ]; then
    echo "No vsthost at $vsthost; build it or name it with VSTHOST=PATH." >&2
    exit 1
  fi
  build/tools/audition/program_audition --vsthost "$vsthost" --plugin build/host/Vantor.so \
    -o out/audition
}

cmd_test() {
  need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
  echo "== normal build =="
  configure_build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
  run_ctest build-test
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
  configure_build build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON -DVANTOR_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest build-asan
  echo "== ThreadSanitizer build of the thread tests =="
  cmake -S "$ROOT" -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_TSAN=ON \
    -DVANTOR_BENCH=OFF >/dev/null
  cmake --build build-tsan -j "$JOBS" --target "${TSAN_TESTS[@]}"
  for name in "${TSAN_TESTS[@]}"; do
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "$(find build-tsan/tests -type f -name "$name")"
  done
  run_fuzzers
  echo "All tests passed in every build, and the fuzzers found nothing."
}

case "${1:-}" in
  demo) cmd_demo ;;
  test) cmd_test ;;
  audition) cmd_audition ;;
  *)
    echo "usage: $0 demo|test|audition" >&2
    exit 2
    ;;
esac
