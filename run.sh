#!/usr/bin/env bash
# Installs the dependencies, builds the program and starts it on the bundled
# default application folder (build/). Extra arguments go to kalvendo.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j2 --target kalvendo appdir
exec "$BUILD_DIR/kalvendo" "$@"
