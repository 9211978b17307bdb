# shellcheck shell=bash
# Sourced by the Windows test scripts: a Wine session of their own in a private Xvfb.
#   start_wine_session PREFIX_DIR
# Exports WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY, creates the prefix
# once, keeps one wineserver running (each wine start is then quick) and on exit stops it
# and Xvfb and removes $WORK if the caller set one.
XVFB_PID=""
stop_wine_session() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  if [ -n "${WORK:-}" ]; then rm -rf "$WORK"; fi
}
start_wine_session() {
  # A crash fails the program instead of waiting in Wine's debugger.
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export WINEARCH=win64
  trap stop_wine_session EXIT
  # A display of our own: the console bridge and kov.exe need real windows.
  local display_file
  display_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  DISPLAY=":$(cat "$display_file")"
  export DISPLAY
  rm -f "$display_file"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix (once per build folder)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  wineserver -p || true
}
