# Sourced by every script that runs Wine: its commands (wine, wineboot,
# winepath, ...) start at the 64-bit loader (wine-shims/wine says why).
# shellcheck shell=bash
qv_wine_shims="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-shims"
case ":$PATH:" in
  *":$qv_wine_shims:"*) ;;
  *) export PATH="$qv_wine_shims:$PATH" ;;
esac
# True when this machine runs 32-bit programs (the i686 build under WOW64).
qv_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
# Wine names Linux files in the locale's character set: without UTF-8 a
# Chinese file or folder name cannot be created at all.
case "$(locale charmap 2>/dev/null)" in
  UTF-8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
# Every run: no .NET or browser engine to install, no desktop menu entries,
# and no debugger, so that a program that faults ends at once with the
# fault's code, which the run reports as a failure, instead of waiting on
# winedbg until a time limit; and none of Wine's own messages in the output.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d" WINEDEBUG=-all
