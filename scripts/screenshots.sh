#!/usr/bin/env bash
# Takes screenshots of the engine's windows under a virtual display:
#   scripts/screenshots.sh BUILD_WIN64_DIR OUT_DIR [shot ...]
# Shots: gauge folders seldir (ui_demo) and background-gradient
# background-plain (Setup's background window, when bg_demo is built).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
out=$2
shift 2
shots=("$@")
[ ${#shots[@]} -eq 0 ] && shots=(gauge folders seldir background-gradient background-plain)
mkdir -p "$out"
out=$(cd "$out" && pwd)
# A prefix of its own, with the Chinese faces that a Chinese Windows shows.
export QV_WINEPREFIX="$build/wineprefix-shots"
"$here/wine-shots-prefix.sh" "$QV_WINEPREFIX"

for shot in "${shots[@]}"; do
  case $shot in
    gauge|folders|seldir) args=("$build/bin/ui_demo.exe" "$shot" 9) ;;
    background-gradient) args=("$build/bin/bg_demo.exe" gradient 9) ;;
    background-plain) args=("$build/bin/bg_demo.exe" plain 9) ;;
    *) echo "unknown shot $shot" >&2; exit 2 ;;
  esac
  SHOT="$out/$shot.png" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" "${@:2}" &
    pid=$!
    sleep 6
    import -window root "$SHOT"
    wait $pid || true
  ' _ "$here/wine-run.sh" "${args[@]}" 2>/dev/null
  echo "$out/$shot.png"
done
