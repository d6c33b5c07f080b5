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
