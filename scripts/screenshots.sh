#!/usr/bin/env bash
# Takes screenshots of the engine's windows under a virtual display:
#   scripts/screenshots.sh BUILD_WIN64_DIR OUT_DIR [shot ...]
# Shots: gauge folders seldir (ui_demo) and background-gradient
# background-plain (Setup's background window, when bg_demo is built).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
out=$2
shift 2
shots=("$@")
[ ${#shots[@]} -eq 0 ] && shots=(gauge folders seldir background-gradient background-plain)
mkdir -p "$out"
out=$(cd "$out" && pwd)
# A prefix of its own: Wine draws the window frames itself (no window
# manager runs here), and the Chinese faces of the forms are mapped to the
# CJK font that the build installs, as a Chinese Windows would show them.
export QV_WINEPREFIX="$build/wineprefix-shots"
"$here/wine-prefix.sh" "$QV_WINEPREFIX"
if [ ! -f "$QV_WINEPREFIX/.qv-shots-2" ]; then
  reg=$(mktemp --suffix=.reg)
  python3 - "$reg" <<'PY'
import sys
text = """Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"宋体"="WenQuanYi Zen Hei"
"SimSun"="WenQuanYi Zen Hei"
"MS Shell Dlg"="WenQuanYi Zen Hei"
"""
# Chinese letters in Latin faces (the background's "Arial") come from the
# CJK font through font linking, as on a Chinese Windows.
link = "wqy-zenhei.ttc,WenQuanYi Zen Hei\0\0".encode("utf-16-le")
value = "hex(7):" + ",".join("%02x" % b for b in link)
text += "\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n"
for face in ("Arial", "Tahoma", "MS Sans Serif", "Microsoft Sans Serif"):
    text += '"%s"=%s\n' % (face, value)
open(sys.argv[1], "w", encoding="utf-16").write(text.replace("\n", "\r\n"))
PY
  WINEPREFIX="$QV_WINEPREFIX" WINEDEBUG=-all wine regedit /S "$(WINEPREFIX="$QV_WINEPREFIX" winepath -w "$reg")" >/dev/null 2>&1 || true
  WINEPREFIX="$QV_WINEPREFIX" wineserver -w
  rm -f "$reg"
  touch "$QV_WINEPREFIX/.qv-shots-2"
fi

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
