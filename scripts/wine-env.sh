# Sourced: a private, headless Wine for climon's Windows tests, with COM5 mapped to a
# path that each test points at its own simulator. The prefix lives in the Windows build
# folder ($winbuild, default build-win), so it is this checkout's own (runs from two
# checkouts never share or stop a wineserver) and `make clean` removes it. Starts the
# prefix's wineserver, which stays up (each start of a program otherwise costs seconds);
# wine_stop ends it, and only it.
export WINEPREFIX="${CLIMON_WINEPREFIX:-$(pwd -P)/${winbuild:-build-win}/wineprefix}"
# Quiet: no debug channels, no Mono or Gecko installer, no 32-bit loader (climon.exe is
# 64-bit), no window.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
export CLIMON_WINE_COM5="$WINEPREFIX/climon-COM5"
if ! command -v wine >/dev/null; then
  echo "wine is missing: apt-get install wine" >&2
  return 1
fi
mkdir -p "$WINEPREFIX"
wineserver -p >"$WINEPREFIX/wineserver.log" 2>&1 || true  # one may run already
wine wineboot >/dev/null 2>&1
if ! wine reg query 'HKLM\Software\Wine\Ports' /v COM5 2>/dev/null | grep -q "$CLIMON_WINE_COM5"; then
  wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$CLIMON_WINE_COM5" /f >/dev/null 2>&1
  # The port table is read when the server starts.
  wineserver -k
  wineserver -p >"$WINEPREFIX/wineserver.log" 2>&1
  wine wineboot >/dev/null 2>&1
fi
# Wine makes dosdevices/com5 from the port table, but on a new prefix not always before the
# first program opens COM5 ("Invalid Port Number: 5   E2"): the link is made here, as Wine
# would make it, so it holds from the first run.
ln -sfn "$CLIMON_WINE_COM5" "$WINEPREFIX/dosdevices/com5"
wine_stop() { wineserver -k 2>/dev/null || true; }
