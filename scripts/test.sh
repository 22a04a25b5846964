#!/usr/bin/env bash
# Installs what the build needs, checks the formatting (scripts/check-format.sh; FORMAT_BASE=<rev>
# checks only the files changed since it), then builds and runs every test:
#   1. everything under AddressSanitizer + UndefinedBehaviorSanitizer,
#   2. everything again in the release build users run,
#   3. the concurrency suites again under ThreadSanitizer,
#   4. each libFuzzer target for a bounded time.
# The fault-stress run among the tests takes a minute in each build (AK_STRESS_SECONDS changes it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/check-format.sh ${FORMAT_BASE:+"$FORMAT_BASE"}

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
# Each target starts from its checked-in seeds (fuzz/seeds/<target>) and keeps what it finds in
# build-fuzz/corpus/<target>; four run at a time, each for FUZZ_SECONDS. A target may take flags
# of its own from fuzz/flags/<target> (one line): the targets that run whole sensors turn the
# entropic schedule off, whose bookkeeping over the library threads' coverage took most of each
# run (a dozen runs in 20 s instead of thousands).
fuzz_one() {
  local fuzzer=$1 name
  name=$(basename "$fuzzer")
  mkdir -p "build-fuzz/corpus/$name"
  local corpora=("build-fuzz/corpus/$name") flags=()
  [ -d "fuzz/seeds/$name" ] && corpora+=("fuzz/seeds/$name")
  [ -f "fuzz/flags/$name" ] && read -r -a flags < "fuzz/flags/$name"
  if "$fuzzer" -max_total_time="${FUZZ_SECONDS:-20}" -print_final_stats=0 "${flags[@]}" "${corpora[@]}" \
      > "build-fuzz/$name.log" 2>&1; then
    echo "== $name: $(tail -n 1 "build-fuzz/$name.log")"
  else
    echo "== $name FAILED:"; tail -n 40 "build-fuzz/$name.log"; return 1
  fi
}
export -f fuzz_one
find build-fuzz/fuzzers -maxdepth 1 -type f -executable -print0 | sort -z |
  xargs -0 -n 1 -P 4 bash -c 'fuzz_one "$0"'
