# Sourced by the scripts: a Wine prefix of the project's own and an X display.
# KEYENTRY_DISPLAY_OWN=1 starts a private Xvfb even when DISPLAY is set.
#
# Windows on the private Xvfb, where no window manager runs: by default Wine
# hands its top-level windows to a window manager, and each time it hides one
# (a window closed, every program's exit) it first waits up to 2 s for the
# window manager's answer, which never comes; the program's interface thread
# stands still meanwhile. So on the private Xvfb Wine's X11 driver is set to
# Managed=N: Wine draws captions and frames itself and waits for nobody.
# KEYENTRY_WINE_WINDOWS=managed keeps Wine's default there instead. On any
# other display (a desktop with its own window manager, e.g. for the demo)
# Wine's default is always kept.
#
# The program is a 32-bit Windows program, and its Windows tests run on the
# 32-bit build under 32-bit Wine. Some Linux kernels are built without
# support for 32-bit programs; there 32-bit Wine cannot start at all, and the
# Windows tests run on a 64-bit build of the same sources under wine64
# instead (preset win64). KEYENTRY_WINE_BITS=32 or 64 forces the choice.
# Exports: KEYENTRY_WINE_BITS, KEYENTRY_WINE (the wine to call),
# KEYENTRY_WIN_PRESET (win32 or win64: the build whose tests run).
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

keyentry_can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

if [ -z "${KEYENTRY_WINE_BITS:-}" ]; then
  if keyentry_can_run_32bit; then KEYENTRY_WINE_BITS=32; else KEYENTRY_WINE_BITS=64; fi
fi
export KEYENTRY_WINE_BITS
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$KEYENTRY_WINE_BITS" = 64 ]; then
  export WINEARCH=win64
  export WINEPREFIX="${KEYENTRY_WINEPREFIX:-$repo_root/build/wineprefix64}"
  # Child processes are started through the loader named here; without it
  # Wine would try the 32-bit loader, which this kernel cannot run.
  export WINELOADER=/usr/lib/wine/wine64
  export KEYENTRY_WINE=/usr/lib/wine/wine64
  export KEYENTRY_WIN_PRESET=win64
else
  export WINEARCH=win32
  export WINEPREFIX="${KEYENTRY_WINEPREFIX:-$repo_root/build/wineprefix}"
  export KEYENTRY_WINE=wine
  export KEYENTRY_WIN_PRESET=win32
fi

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

KEYENTRY_WINE_WINDOWS="${KEYENTRY_WINE_WINDOWS:-unmanaged}"
if [ -z "${DISPLAY:-}" ] || [ "${KEYENTRY_DISPLAY_OWN:-0}" = 1 ]; then
  keyentry_start_xvfb
else
  KEYENTRY_WINE_WINDOWS=desktop
fi
export KEYENTRY_WINE_WINDOWS

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing the Wine prefix $WINEPREFIX ..."
  mkdir -p "$WINEPREFIX"
  timeout 300 "$KEYENTRY_WINE" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# A crash fails the test instead of opening a dialog.
"$KEYENTRY_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  >/dev/null 2>&1 || true
# Wine's X11 driver reads Managed when a program starts. The prefix is shared
# by the tests and the demo, so the value is set or removed on every use.
if [ "$KEYENTRY_WINE_WINDOWS" = unmanaged ]; then
  "$KEYENTRY_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 || true
else
  "$KEYENTRY_WINE" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi
# Keep one Wine server for the whole run (starting one per test is slow).
wineserver -p 600 >/dev/null 2>&1 || true

keyentry_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${KEYENTRY_XVFB_PID:-}" ]; then kill "$KEYENTRY_XVFB_PID" 2>/dev/null || true; fi
}
