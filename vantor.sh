#!/usr/bin/env bash
# The project's driver: `./vantor.sh demo` renders the demo, `./vantor.sh test` runs every test,
# `./vantor.sh audition` renders and measures every factory program.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

# Debian packages each command needs; installed when missing (libjack and libasound build the
# standalone program, whose tests start a private jackd).
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config ccache libsndfile1-dev libpng-dev zlib1g-dev
  libfreetype-dev fonts-dejavu-core libfftw3-dev libcurl4-openssl-dev
  libx11-dev lv2-dev libjack-jackd2-dev libasound2-dev)
# The LV2 tests: lilv (library and its lv2info/lv2ls), sord_validate, jalv on a dummy JACK server.
# locales: the definitions from which tests generate the locales they run the plug-in under.
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev dpf-plugins-vst fonts-dejavu-extra
  xvfb xdotool x11-utils x11-apps liblilv-dev lilv-utils sordi jalv jackd2 locales)
# The Windows plug-ins: cross compilers, zlib for them, Wine to run them (Xvfb for their
# windows), dpkg-dev to unpack libpng's Debian source package.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev wine64
  xvfb xauth dpkg-dev)
# The artwork generator draws with the condensed DejaVu faces too.
ARTWORK_PACKAGES=(fonts-dejavu-extra)
# Seconds each fuzz target runs in `./vantor.sh test`.
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
# Test binaries that are also built alone, and run, under ThreadSanitizer.
TSAN_TESTS=(editor_thread_tests)

missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$pkg"
    fi
  done
}

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

# Like need_packages, but reports instead of stopping: false when they are missing and cannot be
# installed here.
want_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: $(echo $missing)" >&2
    return 1
  fi
  echo "Installing $(echo $missing) ..."
  apt-get update -qq || true
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
}

# Enables deb-src for the machine's main Debian suite (once), so the Windows build can take
# libpng's source with `apt-get source`.
ensure_debian_sources() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if apt-get indextargets --format '$(RELEASE)' 'Created-By: Sources' 2>/dev/null |
    grep -qx "$codename"; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "The Windows build needs Debian's source packages: enable deb-src for the suite" >&2
    echo "$codename in /etc/apt/sources.list.d/ and run apt-get update." >&2
    return 1
  fi
  local file lines
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # Each stanza of the main suite from a Debian mirror gets "Types: deb deb-src".
    awk -v suite="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
      {
        if ($0 ~ /URIs:[^\n]*debian/ && $0 ~ ("Suites:([^\n]* )?" suite "( |\n|$)"))
          sub(/Types: deb\n/, "Types: deb deb-src\n")
        print
      }' "$file" >"$file.new" && mv "$file.new" "$file"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    lines=$(grep -E "^deb .*debian.* $codename( |$)" "$file" | sed 's/^deb /deb-src /' || true)
    [ -n "$lines" ] && printf '%s\n' "$lines" >>"$file"
  done
  echo "Enabled Debian source packages (deb-src) of $codename for the Windows build's libpng."
  apt-get update -qq
}

# True when the kernel runs 32-bit x86 programs (some virtual machines' kernels do not, and then
# 32-bit Wine cannot start): a 96-byte program that only exits with code 42.
i386_programs_run() {
  local probe rc=0
  probe=$(mktemp)
  {
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
    printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
    printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
    printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'
    printf '\270\001\000\000\000\273\052\000\000\000\315\200'
  } >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

# 32-bit Wine where this machine can run it: the i386 architecture and wine32:i386. The Wine
# prefix of a build must be made after this (the build tree's prefix is, on the first test).
want_wine32() {
  if ! i386_programs_run; then
    echo "This kernel does not run 32-bit programs, so 32-bit Wine cannot: Vantor.dll is built"
    echo "and checked here, but not run."
    return 1
  fi
  [ -x /usr/lib/wine/wine ] && return 0
  [ "$(id -u)" -eq 0 ] || { echo "32-bit Wine is missing (wine32:i386)." >&2; return 1; }
  dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386 && apt-get update -qq; }
  want_packages wine32:i386
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

# The Windows plug-ins, cross-built; their tests run under Wine. Skipped with a message where the
# toolchain cannot be had.
run_windows() {
  echo "== Windows builds (mingw-w64), tests under Wine =="
  if ! want_packages "${WINDOWS_PACKAGES[@]}" || ! ensure_debian_sources; then
    echo "SKIPPED: the Windows toolchain is not available here, so Vantor64.dll and Vantor.dll"
    echo "were not built."
    return 0
  fi
  want_wine32 || true
  local arch dir linux_build=""
  [ -x build-test/tools/vsthost/vsthost ] && [ -f build-test/host/Vantor.so ] && linux_build="$ROOT/build-test"
  for arch in x86_64 i686; do
    dir=build-win64
    [ "$arch" = i686 ] && dir=build-win32
    echo "-- $arch in $dir"
    # The smoke test compares the Windows render with the normal Linux build's, when there is one.
    configure_build "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=OFF -DVANTOR_LINUX_BUILD="$linux_build"
    run_ctest "$dir"
  done
}

cmd_windows() {
  need_packages "${BUILD_PACKAGES[@]}" googletest
  run_windows
}

# Factory programs the demo plays its phrase through, one after another.
DEMO_PROGRAMS=("Pad: Fat Strings" "Poly: PWM Stringz" "Stack: Synth Bells" "Bass: Classic Rezo")

cmd_demo() {
  need_packages "${BUILD_PACKAGES[@]}"
  configure_build build -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
  mkdir -p out
  local programs=()
  for program in "${DEMO_PROGRAMS[@]}"; do programs+=(--program "$program"); done
  # vsthost loads the built plug-in as any host would and reports what it played, the levels
  # and the real-time factor.
  build/tools/vsthost/vsthost render build/host/Vantor.so "${programs[@]}" --tail 2 \
    -o out/demo.wav --picture out/demo.png
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
    # A hang must fail the run, not stall it.
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 timeout 600 \
      "$(find build-tsan/tests -type f -name "$name")"
  done
  run_windows
  run_fuzzers
  echo "All tests passed in every build, and the fuzzers found nothing."
}

# Draws the editor's bitmaps into resources/img/ from the layout, at every zoom, then the README's
# screenshots of both views into docs/, at 100% and 200%. Commit what changed: the build embeds
# the committed images.
cmd_artwork() {
  need_packages "${BUILD_PACKAGES[@]}" "${ARTWORK_PACKAGES[@]}"
  configure_build build -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
  build/tools/artwork resources/img
  cmake --build build -j "$JOBS" --target vantor_screenshot
  mkdir -p docs
  build/tools/vantor_screenshot -o docs/editor.png
  build/tools/vantor_screenshot -o docs/editor_alt.png --alt-view
  build/tools/vantor_screenshot -o docs/editor@2x.png --zoom 2
  build/tools/vantor_screenshot -o docs/editor_alt@2x.png --alt-view --zoom 2
  echo "docs/editor.png docs/editor_alt.png docs/editor@2x.png docs/editor_alt@2x.png"
}

case "${1:-}" in
  demo) cmd_demo ;;
  test) cmd_test ;;
  audition) cmd_audition ;;
  windows) cmd_windows ;;
  artwork) cmd_artwork ;;
  *)
    echo "usage: $0 demo|test|audition|windows|artwork" >&2
    exit 2
    ;;
esac
