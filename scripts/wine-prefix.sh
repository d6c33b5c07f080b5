#!/usr/bin/env bash
# Creates the private Wine prefix once; later calls return at once.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
prefix=$1
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -f "$prefix/.qv-ready" ] && exit 0
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.qv-ready" ] && exit 0
wineboot -i >/dev/null 2>&1 || true
wineserver -w
# Without a window manager Wine must draw the window frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1 || true
wineserver -w
touch "$prefix/.qv-ready"
