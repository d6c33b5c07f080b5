#!/usr/bin/env bash
# Part of make bench, run in a virtual display: the installation of setup
# data by Setup.exe's run under Wine (staged_setup.exe, the run with a
# wizard that goes straight on to the real install window, so that no
# window needs driving), beside `qvsetup.exe extract` of the same data under the
# same Wine. Prints wall time, MB/s and peak memory of each.
#   scripts/bench-install.sh WIN64_BUILD SETUP_FOLDER PAYLOAD_BYTES
set -eu
win64=$(cd "$1" && pwd)
setup=$(cd "$2" && pwd)
bytes=$3
export WINEPREFIX="$win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
work=$(dirname "$setup")
cp "$win64/bin/staged_setup.exe" "$setup/"
rm -rf "$work/installed" "$work/extracted-wine"

measure() {  # measure NAME COMMAND...: sets wall_NAME and rss_NAME
  local name=$1; shift
  sync
  /usr/bin/time -f '%e %M' -o "$work/time.$name" "$@" > "$work/log.$name" 2>&1 || true
  read -r wall kb < "$work/time.$name"
  eval "wall_$name=$wall rss_$name=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')"
}
wineserver -p 60  # one server for both runs: its start is not measured
measure extract wine "$win64/bin/qvsetup.exe" extract "$(winepath -w "$setup")" -d "$(winepath -w "$work/extracted-wine")"
QV_TEST_INSTALL=real measure install wine "$setup/staged_setup.exe" "/DIR=$(winepath -w "$work/installed")"
wineserver -k || true

ok=$(diff -rq "$work/extracted-wine/app" "$work/installed" 2>&1 | grep -v 'UNINST' | head -3 || true)
[ -z "$ok" ] && echo "installed files: identical to the extracted ones" || echo "installed files DIFFER: $ok"
rate() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.1f", (s > 0 ? b / 1e6 / s : 0) }'; }
printf '\n%-24s %8s %9s %11s\n' "under Wine" "wall s" "MB/s" "max RSS MB"
printf '%-24s %8s %9s %11s\n' "qvsetup.exe extract" "$wall_extract" "$(rate "$wall_extract")" "$rss_extract"
printf '%-24s %8s %9s %11s   %s\n' "Setup install" "$wall_install" "$(rate "$wall_install")" "$rss_install" \
  "$(awk -v a="$wall_install" -v b="$wall_extract" 'BEGIN { printf "%.2f x extract (goal: at most 1.30)", (b > 0 ? a / b : 0) }')"
