#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix.
# Used by ctest as the cross-compiling emulator; the prefix is made on first use.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
here=$(cd "$(dirname "$0")" && pwd)
: "${QV_WINEPREFIX:?QV_WINEPREFIX must name the private Wine prefix}"
export WINEPREFIX="$QV_WINEPREFIX"
"$here/wine-prefix.sh" "$WINEPREFIX"
status=0
wine "$@" || status=$?
# The program has ended: so do the prefix's own services. Wine keeps them
# (and the server) running after some runs, and they hold ctest's output
# pipe open, so that a finished test would wait out its time limit.
wineserver -k >/dev/null 2>&1 || true
exit $status
