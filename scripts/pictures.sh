#!/usr/bin/env bash
# Makes the README's pictures from real runs against climon-sim: docs/monitor.svg (the
# monitor screen) and docs/trend.svg (the chart of a short logged run, with a lossy line
# so that it shows gaps). Needs tmux and python3. Run it again when the screens change.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
dir=$(mktemp -d "${TMPDIR:-/tmp}/climon-pictures.XXXXXX")
sock="climon-pictures-$$"
sim=""
cleanup() {
  tmux -L "$sock" kill-server 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
wait_for() {  # a text on the screen, for at most 60 s
  for _ in $(seq 600); do
    tmux -L "$sock" capture-pane -p -t pic 2>/dev/null | grep -q "$1" && return 0
    sleep 0.1
  done
  echo "pictures: '$1' never showed" >&2
  return 1
}
run() {  # climon with these options in an 80 x 25 terminal of its own
  tmux -L "$sock" -f /dev/null new-session -d -s pic -x 80 -y 25 \
    "CLIMON_COM1=$dir/COM1 LANG=C.UTF-8 $build/climon --port 1 $*; sleep 60"
}

# The monitor screen.
"$build/climon-sim" --variant 1 --link "$dir/COM1" >/dev/null &
sim=$!
run
wait_for "t106 "
wait_for "Vent.         (512) [\\|/-]"
# A frame where each of the four indicators shows a character: in some phases one is blank,
# and a picture of it looks broken.
shown=""
for _ in $(seq 200); do
  LANG=C.UTF-8 tmux -L "$sock" capture-pane -e -p -N -t pic >"$dir/screen.txt"
  if LANG=C.UTF-8 tmux -L "$sock" capture-pane -p -t pic | sed -n '9,12p' |
    awk '{ if (length($0) < 21 || substr($0, 21, 1) == " ") bad = 1 } END { exit bad }'; then
    shown=yes
    break
  fi
  sleep 0.05
done
[ -n "$shown" ] || { echo "pictures: no frame with all four indicators" >&2; exit 1; }
python3 scripts/screen_svg.py 80 25 <"$dir/screen.txt" >docs/monitor.svg
tmux -L "$sock" kill-server
kill "$sim"
wait "$sim" 2>/dev/null || true

# A minute of a live room, logged, then charted.
"$build/climon-sim" --live --loss 45 --seed 3 --link "$dir/COM1" >/dev/null &
sim=$!
run --log "$dir/values.csv"
sleep 60
tmux -L "$sock" send-keys -t pic Escape
sleep 1
"$build/climon-plot" "$dir/values.csv" -o docs/trend.svg
head -n 4 "$dir/values.csv" >docs/values-example.csv
echo "pictures: docs/monitor.svg, docs/trend.svg and docs/values-example.csv made"

# A day's report as printed: its summary page and its day page.
python3 scripts/report_example.py docs/values-example.csv "$dir"
(cd "$dir" && "$build/climon-report" room.csv --audit audit.csv --day 2026-12-09 -o r.html &&
  chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer --print-to-pdf=r.pdf \
    r.html 2>/dev/null && pdftoppm -png -r 100 r.pdf page)
cp "$dir/page-1.png" docs/report-summary.png
cp "$dir/page-2.png" docs/report-day.png
echo "pictures: docs/report-summary.png and docs/report-day.png made"
