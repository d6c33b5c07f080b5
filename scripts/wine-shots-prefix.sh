#!/usr/bin/env bash
# Makes (once) a Wine prefix for looking at the engine's windows:
#   scripts/wine-shots-prefix.sh PREFIX
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
here=$(cd "$(dirname "$0")" && pwd)
QV_WINEPREFIX=${1:?usage: wine-shots-prefix.sh PREFIX}
"$here/wine-prefix.sh" "$QV_WINEPREFIX"
# Wine draws the window frames itself (no window manager runs here), and
# the Chinese faces of the forms are mapped to the CJK font that the build
# installs, as a Chinese Windows would show them.
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
  WINEPREFIX="$QV_WINEPREFIX" wine regedit /S "$(WINEPREFIX="$QV_WINEPREFIX" winepath -w "$reg")" >/dev/null 2>&1 || true
  WINEPREFIX="$QV_WINEPREFIX" wineserver -w
  rm -f "$reg"
  touch "$QV_WINEPREFIX/.qv-shots-2"
fi

