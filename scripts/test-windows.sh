#!/usr/bin/env bash
# The Windows build's tests: its unit tests as .exe files under Wine (through ctest), then
# climon.exe end to end under Wine in tmux against climon-sim (built in the POSIX build).
set -euo pipefail
build=${1:-build}
winbuild=${2:-build-win}
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
# The tests' temporary folders go in one folder of this run, removed however it ends (a
# Wine program that outlives its test can still write into its folder). Not TMPDIR: Wine
# keeps its server's socket there, and wine_stop would then miss the server.
CLIMON_E2E_TMPDIR=$(mktemp -d "${TMPDIR:-/tmp}/climon-test-windows.XXXXXX")
export CLIMON_E2E_TMPDIR
trap 'wine_stop; rm -rf "$CLIMON_E2E_TMPDIR"' EXIT
(cd "$winbuild" && ctest --output-on-failure)
[ -n "${CLIMON_WIN_MSI:-}" ] && CLIMON_WIN_MSI=$(cd "$(dirname "$CLIMON_WIN_MSI")" && pwd)/$(basename "$CLIMON_WIN_MSI")
export CLIMON_WIN_MSI
CLIMON_WIN_EXE="$PWD/$winbuild/climon.exe" \
  CLIMON_WIN_MODES="$PWD/$winbuild/tests/console_modes.exe" \
  "$build/tests/e2e_tests" --gtest_filter='Wine.*:Both/Builds.*/Wine'
