#!/usr/bin/env bash
# Installs what the build needs, builds the program alone (no tests, benchmarks or fuzzers), and
# starts Quellwave from the folder that holds its fonts and its data file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default
cmake --build --preset default --target Quellwave
cd build/app
exec ./Quellwave
