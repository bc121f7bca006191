#!/bin/sh
# Builds everything twice (a normal build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both. A test that fails
# is run once more before it counts as failed: the window tests share one
# machine's X servers and loopback ports with everything else that runs.
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

cmake -S . -B build -DCORVENHAL_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --repeat until-pass:2

cmake -S . -B build-sanitize -DCORVENHAL_SANITIZE=ON -DCORVENHAL_WERROR=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" --repeat until-pass:2
echo "Screenshots and other test artifacts: $(pwd)/build/artifacts"
