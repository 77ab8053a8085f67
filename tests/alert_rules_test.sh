#!/bin/sh
# The alert rules pass promtool's check and their tests at the edges of each alert.
set -eu
command -v promtool >/dev/null || { echo "skipped: alert_rules: promtool is not installed (apt-get install prometheus)"; exit 77; }
cd "$1/monitoring"
promtool check rules climon.rules.yml
promtool test rules climon.rules.test.yml
