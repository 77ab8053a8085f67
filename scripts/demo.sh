#!/usr/bin/env bash
# Runs climon in this terminal against the simulated controller, linked as COM1.
set -eu
build=${1:-build}
dir=$(mktemp -d "${TMPDIR:-/tmp}/climon-demo.XXXXXX")
"$build/climon-sim" --live --link "$dir/COM1" --log "$dir/traffic.log" >/dev/null &
sim=$!
cleanup() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM HUP
for _ in $(seq 50); do [ -e "$dir/COM1" ] && break; sleep 0.1; done
echo "climon demo: the simulated controller is on COM1 - answer the prompt with 1."
echo "Keys: ESC ends, K opens the command terminal (ESC leaves it),"
echo "      R then Y resets the counters."
echo "Press Enter to start."
read -r _
CLIMON_COM1="$dir/COM1" "$build/climon" || status=$?
exit "${status:-0}"
