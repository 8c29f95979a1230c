#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs all tests.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKALVENDO_WERROR="${KALVENDO_WERROR:-OFF}" \
      -DKALVENDO_FORCE_ASSERTS="${KALVENDO_FORCE_ASSERTS:-OFF}" >/dev/null
cmake --build "$BUILD_DIR" -j2
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
