#!/usr/bin/env bash
# Builds the CAPI message decoder fuzz target with clang (libFuzzer,
# AddressSanitizer, UBSan) in build-fuzz and runs it for the given number of
# seconds (default 60). New inputs are kept in build-fuzz/capi-fuzz/corpus;
# a crash is written to build-fuzz/capi-fuzz/artifacts/ and ends the run with
# a non-zero status. Add what it finds to tests/capi/fuzz/corpus/ once fixed.
#
#   scripts/fuzz-capi.sh 600
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KALVENDO_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALVENDO_FUZZ=ON -DKALVENDO_BUILD_BENCH=OFF
cmake --build "$build" --target fuzz_capi_decode -j2

work="$build/capi-fuzz"
mkdir -p "$work/corpus" "$work/artifacts"
echo "fuzz-capi: running for ${seconds}s"
start=$(date +%s)
status=0
"$build/tests/capi/fuzz_capi_decode" \
    -max_total_time="$seconds" \
    -artifact_prefix="$work/artifacts/" \
    -print_final_stats=1 \
    "$work/corpus" "$root/tests/capi/fuzz/corpus" || status=$?
echo "fuzz-capi: ran $(( $(date +%s) - start ))s, exit status $status"
ls -1 "$work/artifacts" 2>/dev/null | sed 's/^/fuzz-capi: finding: /'
exit "$status"
