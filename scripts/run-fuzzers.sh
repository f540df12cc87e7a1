#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
shopt -s nullglob
for target in "$build"/fuzz/*/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "--- $name"
  if ! ASAN_OPTIONS=detect_leaks=1 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -timeout=10 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    echo "$name failed:"; tail -n 60 "$work.log"; status=1
  else
    grep -E '^(Done|#[0-9]+ *DONE)' "$work.log" | tail -n 1 || true
  fi
  rm -rf "$work" "$work.log"
done
exit "$status"
