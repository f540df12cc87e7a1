#!/usr/bin/env bash
# Sets everything up, builds and starts the desktop program. Arguments go to the program:
# `scripts/run.sh --demo` starts it against its bundled engine simulator (no network needed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quellion quellion-cli
exec ./build/app/quellion "$@"
