#!/usr/bin/env bash
# Sets everything up and runs every test: the format and naming checks, the normal build,
# the AddressSanitizer + UndefinedBehaviorSanitizer build (clang, with the fuzz targets,
# which then run for a bounded time) and the ThreadSanitizer build of the threaded core.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${QUELLION_FUZZ_SECONDS:-45}
status=0

# A compiler cache, where one is installed, makes the three builds cheap to repeat.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

configure_and_build() {  # dir, cmake options...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # dir, label
  echo "=== tests: $2"
  if ! ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 600; then status=1; fi
}

echo "=== format"
if ! bash scripts/check-format.sh; then status=1; fi

configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "=== naming"
if ! bash scripts/check-naming.sh build; then status=1; fi
run_ctest build "normal build"

configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUELLION_ASAN=ON -DQUELLION_FUZZ=ON -DQUELLION_GUI=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest build-asan "AddressSanitizer + UndefinedBehaviorSanitizer"

echo "=== fuzzing (${fuzz_seconds}s per target)"
if ! bash scripts/run-fuzzers.sh build-asan "$fuzz_seconds"; then status=1; fi

configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUELLION_TSAN=ON -DQUELLION_GUI=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest build-tsan "ThreadSanitizer"

exit "$status"
