#!/usr/bin/env bash
# Photographs the whole run of Setup.exe under a virtual display: every
# wizard page, the progress window in the middle of a copy, the finished
# page, and in a second run the next-disk dialog.
#   scripts/wizard-shots.sh WIN64_BUILD OUT_DIR
# The example of examples/hello with a large file added, so that the copy
# takes long enough to be seen; after `make native win64`.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
here=$(cd "$(dirname "$0")" && pwd)
win64=$(cd "${1:?usage: wizard-shots.sh WIN64_BUILD OUT_DIR}" && pwd)
mkdir -p "${2:?usage: wizard-shots.sh WIN64_BUILD OUT_DIR}"
out=$(cd "$2" && pwd)
qvsetup="$win64/../native/bin/qvsetup"
work="$win64/wizard-shots-work"
uninstaller="$win64/bin/UNISTB64.EXE"
if [ ! -f "$uninstaller" ]; then
  echo "wizard-shots.sh: the uninstaller $uninstaller is missing: the Windows build (make win64) makes it" >&2
  exit 1
fi
rm -rf "$work"
cp -r "$win64/examples/hello" "$work"
rm -rf "$work/output"
head -c 150000000 /dev/urandom > "$work/big.dat"
cat >> "$work/hello.toml" <<'TOML'

[[file]]
source = "big.dat"
dest = "{app}\\big.dat"
TOML
"$qvsetup" build "$work/hello.toml" -o "$work/one-disk" --level 1 --uninstaller "$uninstaller" > /dev/null
"$qvsetup" build "$work/hello.toml" -o "$work/disks" --level 1 --disk-size 60000000 --uninstaller "$uninstaller" > /dev/null
rm "$work/disks/SETUP.3"
cp "$win64/bin/Setup.exe" "$work/one-disk/"
cp "$win64/bin/Setup.exe" "$work/disks/"

export QV_WINEPREFIX="$win64/wineprefix-shots"
"$here/wine-shots-prefix.sh" "$QV_WINEPREFIX"
export WINEPREFIX="$QV_WINEPREFIX"
"$here/drive-setup.sh" "$win64" "$out" "$work/one-disk/Setup.exe" > "$out/run.txt"
"$here/drive-setup.sh" "$win64" "$out" "$work/disks/Setup.exe" --next-disk >> "$out/run.txt"
rm -rf "$work"
ls "$out"/*.png
