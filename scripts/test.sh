#!/usr/bin/env bash
# Installs what the build needs, then builds and runs every test:
#   1. everything under AddressSanitizer + UndefinedBehaviorSanitizer,
#   2. everything again in the release build users run,
#   3. the concurrency suites again under ThreadSanitizer,
#   4. each libFuzzer target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

cmake --preset default
cmake --build --preset default
ctest --preset default

cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan --no-tests=ignore

cmake --preset fuzz
cmake --build --preset fuzz
for fuzzer in build-fuzz/fuzzers/*; do
  [ -x "$fuzzer" ] || continue
  corpus="build-fuzz/corpus/$(basename "$fuzzer")"
  mkdir -p "$corpus"
  echo "== fuzzing $(basename "$fuzzer") for ${FUZZ_SECONDS:-20} s"
  "$fuzzer" -max_total_time="${FUZZ_SECONDS:-20}" -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
done
