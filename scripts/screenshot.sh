#!/usr/bin/env bash
# Starts the program under a virtual X server and saves a screenshot of the
# screen: scripts/screenshot.sh OUT.png [kalvendo arguments...]
set -euo pipefail
out=$1; shift
bin=${KALVENDO_BIN:-"$(dirname "$0")/../build/kalvendo"}
xvfb-run -a -s "-screen 0 1024x700x24" bash -c '
    "$0" "${@:2}" &
    pid=$!
    sleep "${DELAY:-3}"
    import -window root "$1"
    kill $pid' "$bin" "$out" "$@"
