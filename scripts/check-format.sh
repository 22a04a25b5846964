#!/usr/bin/env bash
# Checks that C and C++ files are formatted as .clang-format says. With a revision, only the
# files changed since it are checked; without one, every tracked file (what CI runs).
# Prints each file that is not formatted and exits 1; `clang-format -i FILE` formats one.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$#" -gt 0 ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=d "$1" -- '*.c' '*.h' '*.cpp' '*.hpp')
else
  mapfile -t files < <(git ls-files -- '*.c' '*.h' '*.cpp' '*.hpp')
fi
[ "${#files[@]}" -gt 0 ] || exit 0
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ "${#unformatted[@]}" -gt 0 ]; then
  echo "check-format: not formatted (run clang-format -i on them):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
