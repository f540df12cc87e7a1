#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it with the
# project's .clang-format; lists the files. `clang-format -i FILE...` mends them.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C++ files found (not a git checkout?)" >&2
  exit 1
fi
bad=()
for f in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then bad+=("$f"); fi
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "check-format: these files are not formatted with .clang-format:" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
