#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix.
# Used by ctest as the cross-compiling emulator; the prefix is made on first use.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
here=$(cd "$(dirname "$0")" && pwd)
: "${QV_WINEPREFIX:?QV_WINEPREFIX must name the private Wine prefix}"
export WINEPREFIX="$QV_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$here/wine-prefix.sh" "$WINEPREFIX"
exec wine "$@"
