#!/usr/bin/env bash
# Runs Setup.exe under Wine with demo_driver.exe clicking through its wizard,
# in a virtual display, and takes a screenshot whenever the driver asks.
#   scripts/drive-setup.sh WIN64_BUILD SHOTS_DIR SETUP_EXE [--next-disk]
# WINEPREFIX names the prefix to use. Prints the driver's report.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
win64=$(cd "$1" && pwd)
shots=$2
setup_exe=$3
shift 3
mkdir -p "$shots"
export shots
# Every Wine process of the run starts inside the virtual display: a Wine
# server started without one keeps a desktop that cannot show windows.
wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  driver=$1 setup=$(winepath -w "$2")
  shift 2
  coproc DRIVER { wine "$driver" "$setup" "$@" 2>/dev/null; }
  pid=$DRIVER_PID  # bash forgets it when the driver ends
  while IFS= read -r line <&"${DRIVER[0]}"; do
    case $line in
      "shot "*)
        import -window root "$shots/${line#shot }.png"
        echo ok >&"${DRIVER[1]}" ;;
      *) printf "%s\n" "$line" ;;
    esac
  done
  wait "$pid"
' _ "$win64/bin/demo_driver.exe" "$setup_exe" "$@"
wineserver -w
