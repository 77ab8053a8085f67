#!/bin/sh
# What a newcomer reads in an 80-column terminal fits it: the demo's lines and the
# README's command blocks (sample rows of a CSV file, which are the file's own bytes,
# aside); each program's --help is the end-to-end tests'. Exit status 77 without python3.
set -eu
source=$1
command -v python3 >/dev/null || { echo "skipped: python3 is not installed"; exit 77; }
python3 - "$source" <<'PY'
import re, sys
source = sys.argv[1]
wide = []
def check(name, lines):
    for n, line in enumerate(lines, 1):
        if len(line) > 80:
            wide.append(f"{name}:{n}: {len(line)} columns: {line[:60]}...")
demo = open(f"{source}/scripts/demo.sh", encoding="utf-8").read()
check("demo.sh's lines", re.findall(r'^echo "(.*)"$', demo, re.M))
csv_row = re.compile(r"^    (time,|\d{4}-\d\d-\d\dT)")
block, previous_blank = False, True
lines = open(f"{source}/README.md", encoding="utf-8").read().split("\n")
for n, line in enumerate(lines, 1):
    if line.startswith("    ") and (previous_blank or block):
        block = True
        if len(line) > 80 and not csv_row.match(line):
            wide.append(f"README.md:{n}: {len(line)} columns: {line[:60]}...")
    elif line.strip():
        block = False
    previous_blank = not line.strip()
print("\n".join(wide))
sys.exit(1 if wide else 0)
PY
