# Sourced by the scripts: a Wine prefix of the project's own and an X display.
# KEYENTRY_DISPLAY_OWN=1 starts a private Xvfb even when DISPLAY is set.
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KEYENTRY_WINEPREFIX:-$repo_root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

keyentry_start_xvfb() {
  local n
  for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      KEYENTRY_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
      done
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

if [ -z "${DISPLAY:-}" ] || [ "${KEYENTRY_DISPLAY_OWN:-0}" = 1 ]; then
  keyentry_start_xvfb
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing the Wine prefix $WINEPREFIX ..."
  mkdir -p "$WINEPREFIX"
  timeout 300 wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# A crash fails the test instead of opening a dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
# Keep one Wine server for the whole run (starting one per test is slow).
wineserver -p 600 >/dev/null 2>&1 || true

keyentry_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${KEYENTRY_XVFB_PID:-}" ]; then kill "$KEYENTRY_XVFB_PID" 2>/dev/null || true; fi
}
