#!/usr/bin/env bash
# Creates the private Wine prefix once; later calls return at once.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
prefix=$1
export WINEPREFIX="$prefix"
# A prefix made before the machine could run 32-bit programs has no
# syswow64 and starts none: it is made anew.
usable() {
  [ -f "$prefix/.qv-ready" ] && { ! qv_runs_32bit || [ -d "$prefix/drive_c/windows/syswow64" ]; }
}
usable && exit 0
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
usable && exit 0
if [ -f "$prefix/.qv-ready" ]; then
  echo "wine-prefix: $prefix was made without 32-bit support; making it anew" >&2
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
  mkdir -p "$prefix"
fi
wineboot -i >/dev/null 2>&1 || true
wineserver -w
# Without a window manager Wine must draw the window frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1 || true
wineserver -w
touch "$prefix/.qv-ready"
