#!/usr/bin/env bash
# The transaction and the monitor pass of climon.exe under Wine, beside the POSIX build's
# in the same run, each against climon-sim.
set -euo pipefail
build=${1:-build}
winbuild=${2:-build-win}
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
sim=""
trap 'wine_stop; [ -n "$sim" ] && kill "$sim" 2>/dev/null || true' EXIT
"$build/bench/transaction_bench"
"$build/bench/monitor_bench"
"$build/climon-sim" --link "$CLIMON_WINE_COM5" >/dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$CLIMON_WINE_COM5" ] && break; sleep 0.1; done
wine "$winbuild/win_transaction_bench.exe" "${RUNS:-30}"
