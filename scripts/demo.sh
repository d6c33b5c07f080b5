#!/usr/bin/env bash
# Builds the bundled example into one program with qvsetup (build --exe:
# the engine Setup.exe with the whole installation inside), lists and
# verifies it, then installs it for real from that program: it runs under
# Wine on a virtual display, demo_driver.exe clicks through every page of
# the wizard from outside as a user would, a screenshot is taken of each
# page, and the report shows what was installed.
#   scripts/demo.sh NATIVE_BUILD WIN64_BUILD
# The Windows build holds hello.exe beside a copy of examples/hello/hello.toml
# and its texts (the script's paths are relative to its own folder), and the
# uninstaller UNISTB64.EXE that the setup data carries (x86-64, which is
# what runs under Wine here).
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
here=$(cd "$(dirname "$0")" && pwd)
native=$(cd "${1:?usage: demo.sh NATIVE_BUILD WIN64_BUILD}" && pwd)
win64=$(cd "${2:?usage: demo.sh NATIVE_BUILD WIN64_BUILD}" && pwd)
qvsetup="$native/bin/qvsetup"
example="$win64/examples/hello"
output="$example/output"
program="$output/hello-setup.exe"
shots="$win64/demo-shots"
uninstaller="$win64/bin/UNISTB64.EXE"
engine="$win64/bin/Setup.exe"
for needed in "$uninstaller" "$engine"; do
  if [ ! -f "$needed" ]; then
    echo "demo.sh: $needed is missing: the Windows build (make win64) makes it" >&2
    exit 1
  fi
done

step() { printf '\n== %s\n' "$*"; }

rm -rf "$output"
mkdir -p "$output"
step "qvsetup build $example/hello.toml --exe $program --engine $engine --uninstaller $uninstaller"
"$qvsetup" build "$example/hello.toml" --exe "$program" --engine "$engine" --uninstaller "$uninstaller"
step "qvsetup list $program"
"$qvsetup" list "$program"
step "qvsetup verify $program"
"$qvsetup" verify "$program"

step "$(basename "$program") under Wine, alone in its folder: every page of the wizard, clicked from outside"
# A prefix of its own that keeps what the demo installs, with the Chinese
# fonts of the screenshots.
export QV_WINEPREFIX="$win64/wineprefix-demo"
rm -rf "$shots"
mkdir -p "$shots"
report="$shots/report.txt"
# What Wine itself says (its loader, its desktop, the virtual display) goes
# to a log beside the screenshots; the demo prints only its own report.
winelog="$shots/wine.log"
trap 'echo "demo.sh: failed; what Wine said is in $winelog" >&2' ERR
"$here/wine-shots-prefix.sh" "$QV_WINEPREFIX" 2>>"$winelog"
export WINEPREFIX="$QV_WINEPREFIX"
"$here/drive-setup.sh" "$win64" "$shots" "$program" 2>>"$winelog" | tee "$report"

log=$(sed -n 's/^uninstall-log //p' "$report" | tail -1)
if [ -n "$log" ]; then
  step "qvsetup log: the uninstall log of the installation"
  "$qvsetup" log "$(winepath -u "$log" 2>>"$winelog")"
fi
step "Screenshots of every page (and Wine's own output in $winelog)"
ls "$shots"/*.png
grep -q "^Setup.exe exit code: 0$" "$report"
grep -q "^UNISTB64.EXE exit code: 0$" "$report"
