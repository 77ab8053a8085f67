#!/usr/bin/env bash
# Runs climon in this terminal against the simulated controller, linked as COM1.
set -eu
build=${1:-build}
dir=$(mktemp -d "${TMPDIR:-/tmp}/climon-demo.XXXXXX")
"$build/climon-sim" --live --link "$dir/COM1" --log "$dir/traffic.log" \
  --control "$dir/control" >/dev/null &
sim=$!
drive=
cleanup() {
  kill "$sim" $drive 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM HUP
for _ in $(seq 50); do [ -e "$dir/COM1" ] && break; sleep 0.1; done
echo "climon demo: the simulated controller is on COM1 - answer the prompt with 1."
echo "Keys: ESC ends, K opens the command terminal (ESC leaves it),"
echo "      R then Y resets the counters."
options=()
if [ -n "${ALARMS:-}" ]; then
  # With ALARMS=1 (make demo ALARMS=1): short alarm times, and the room driven out of its
  # band after 20 s and back 60 s later.
  options=(--alarms --delay 0.2 --settle 0)
  (sleep 20; echo DM992=600 >"$dir/control"; sleep 60; echo DM992=500 >"$dir/control") &
  drive=$!
  echo "Alarms: at 20 s the room goes to 15.00 C; row 21 shows the alarm, A answers it."
fi
echo "Press Enter to start."
read -r _
CLIMON_COM1="$dir/COM1" "$build/climon" "${options[@]}" || status=$?
exit "${status:-0}"
