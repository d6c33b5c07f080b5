#!/usr/bin/env bash
# Runs a Windows test program against the i686 build's shipped programs
# (Setup.exe, UNISTB32.EXE) instead of those beside it, as 64-bit Windows
# runs a 32-bit installer: under WOW64, in the same 64-bit prefix.
#   QV_I686_BIN=build/win32/bin QV_WINEPREFIX=... scripts/i686-run.sh TEST.exe [ARGS]
# Exit 77 (counted as skipped) where this machine cannot run 32-bit
# programs at all, saying so.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
bin=${QV_I686_BIN:?QV_I686_BIN must name the bin folder of the i686 build}
if ! qv_runs_32bit; then
  echo "skipped: this machine cannot run 32-bit programs (the 32-bit Wine loader /usr/lib/wine/wine does not start), so the i686 Setup.exe and UNISTB32.EXE are not run here"
  exit 77
fi
for program in Setup.exe UNISTB32.EXE; do
  [ -f "$bin/$program" ] || { echo "$bin/$program is missing: the i686 build (make win32) makes it" >&2; exit 1; }
done
# Wine shows the Linux root as drive Z:.
export QV_ENGINE_DIR="Z:${bin//\//\\}"
exec "$(dirname "$0")/wine-run.sh" "$@"
