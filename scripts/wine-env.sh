# Sourced: a private, headless Wine for climon's Windows tests, with COM5 mapped to a
# path that each test points at its own simulator. The prefix is this checkout's own, so
# that runs from two checkouts on one machine never share (or stop) a wineserver. Starts
# the prefix's wineserver, which stays up (each start of a program otherwise costs
# seconds); wine_stop ends it, and only it.
checkout_id=$(pwd -P | cksum | cut -d' ' -f1)
export WINEPREFIX="${CLIMON_WINEPREFIX:-${TMPDIR:-/tmp}/climon-wine-$checkout_id}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
export CLIMON_WINE_COM5="$WINEPREFIX/climon-COM5"
mkdir -p "$WINEPREFIX"
if ! command -v wine >/dev/null; then
  echo "wine is missing: apt-get install wine" >&2
  return 1
fi
wineserver -p >"$WINEPREFIX/wineserver.log" 2>&1
wine wineboot >/dev/null 2>&1
if ! wine reg query 'HKLM\Software\Wine\Ports' /v COM5 2>/dev/null | grep -q "$CLIMON_WINE_COM5"; then
  wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$CLIMON_WINE_COM5" /f >/dev/null 2>&1
  # The port table is read when the server starts.
  wineserver -k
  wineserver -p >"$WINEPREFIX/wineserver.log" 2>&1
  wine wineboot >/dev/null 2>&1
fi
wine_stop() { wineserver -k 2>/dev/null || true; }
