#!/usr/bin/env bash
# Solid compression against the default on a realistic payload that
# scripts/bench-payload.sh assembles from the machine (Wine's PE libraries
# and programs, plain-text documents; kept outside the repository): the
# size of one program (build --exe) with deflate and with solid, build and
# extract times, and for reference xz -6 and zstd -19 --long=27 of a tar of
# the same files; then, under Wine, each program's unattended installation
# (with Wine's start) and its peak memory, the installed files compared with
# the payload. Prints figures; it is not a test.
#   scripts/bench-solid.sh NATIVE_BUILD WIN64_BUILD [PAYLOAD_DIR]
set -eu
native=$(cd "${1:?usage: bench-solid.sh NATIVE_BUILD WIN64_BUILD [PAYLOAD_DIR]}" && pwd)
win64=$(cd "${2:?usage: bench-solid.sh NATIVE_BUILD WIN64_BUILD [PAYLOAD_DIR]}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
qvsetup=$native/bin/qvsetup
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-solid.XXXXXX")
trap 'rm -rf "$work"' EXIT
payload=${3:-$work/payload}
[ -d "$payload" ] || "$here/bench-payload.sh" "$payload"
payload=$(cd "$payload" && pwd)
cd "$work"

{
  echo '[setup]'
  echo 'app_name = "Solid benchmark"'
  echo 'uninstaller = false  # the payload alone is measured'
  find "$payload" -type f | LC_ALL=C sort | while read -r f; do
    dest=${f#"$payload"/}
    printf '\n[[file]]\nsource = "%s"\ndest = "{app}\\\\%s"\n' "$f" "${dest//\//\\\\}"
  done
} > bench.toml

seconds() {  # seconds COMMAND...: wall seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", e - s }'
}
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }

files=$(find "$payload" -type f | wc -l)
bytes=$(find "$payload" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo "payload: $files files, $(mb "$bytes") MB; $(nproc) processors"
engine=$(stat -c %s "$win64/bin/Setup.exe")
echo "the engine in front of each program: $(mb "$engine") MB"
printf '%-34s %10s %10s %9s %11s\n' "" "size MB" "payload MB" "build s" "extract s"
for mode in deflate solid; do
  t_build=$(seconds "$qvsetup" build bench.toml --exe "$mode.exe" --engine "$win64/bin/Setup.exe" --compression "$mode")
  t_extract=$(seconds "$qvsetup" extract "$mode.exe" -d "x-$mode")
  diff -r "$payload" "x-$mode/app" > /dev/null || { echo "$mode: the extracted files differ from the payload"; exit 1; }
  size=$(stat -c %s "$mode.exe")
  printf '%-34s %10s %10s %9s %11s\n' "one program, $mode" "$(mb "$size")" "$(mb $((size - engine)))" "$t_build" "$t_extract"
done
if command -v wine > /dev/null; then
  . "$here/wine-env.sh"
  export WINEPREFIX="$win64/wineprefix"
  "$here/wine-prefix.sh" "$WINEPREFIX"
  wineserver -p 60  # one server for every run: its start is not measured
  for mode in deflate solid; do
    rm -rf "installed-$mode"
    /usr/bin/time -f '%e %M' -o "time.$mode" wine "$mode.exe" /VERYSILENT /SUPPRESSMSGBOXES \
      "/DIR=$(winepath -w "$work/installed-$mode")" > /dev/null 2>&1 || { echo "$mode: Setup.exe failed"; exit 1; }
    read -r wall kb < "time.$mode"
    # The uninstall log and its placeholder come beside the files.
    diff -r -x "UNINST*" "$payload" "installed-$mode" > /dev/null || { echo "$mode: the installed files differ from the payload"; exit 1; }
    printf '%-34s %8s s, peak memory %s MB\n' "install $mode (Setup.exe, Wine)" "$wall" "$((kb / 1024))"
  done
  # The same files written by qvsetup.exe under the same Wine: the
  # installation's yardstick.
  /usr/bin/time -f '%e %M' -o time.extract wine "$win64/bin/qvsetup.exe" extract deflate.exe \
    -d "$(winepath -w "$work/x-wine")" > /dev/null 2>&1 || { echo "qvsetup.exe extract failed"; exit 1; }
  read -r wall kb < time.extract
  printf '%-34s %8s s, peak memory %s MB\n' "extract deflate (qvsetup.exe, Wine)" "$wall" "$((kb / 1024))"
  wineserver -k > /dev/null 2>&1 || true
fi
tar -C "$payload" -cf payload.tar .
for tool in "xz -6 -T1" "zstd -19 --long=27 -T1 -q"; do
  command -v "${tool%% *}" > /dev/null || continue
  t=$(seconds sh -c "$tool -c payload.tar > payload.packed")
  printf '%-34s %10s %10s %9s %11s\n' "tar | $tool" "" "$(mb "$(stat -c %s payload.packed)")" "$t" ""
done
