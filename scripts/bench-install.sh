#!/usr/bin/env bash
# Part of make bench, run in a virtual display: the installation of setup
# data by the real Setup.exe under Wine, unattended (/VERYSILENT
# /SUPPRESSMSGBOXES /DIR=, so that no window shows and none needs driving),
# beside `qvsetup.exe extract` of the same data under the same Wine, taking
# turns over ROUNDS rounds (3 unless QV_BENCH_ROUNDS says), each run into a
# folder of its own: the file system's own state (inodes freed by earlier
# runs, writes still going out) moves single runs by more than the
# difference measured. Prints the median wall time, MB/s and peak memory
# of each, and Setup.exe's exit status.
# With a program built with --exe from the same script, it installs that
# too and prints the time its check of the payload took (from its log), as
# a share of that installation, and where that installation's time went
# (the phases its log ends with). Last it prints the cost of the rollback
# journal's flushes: the same installation by fault_setup.exe (Setup.exe's
# run with the test seam, no plan) with and without them, best of two each.
#   scripts/bench-install.sh WIN64_BUILD SETUP_FOLDER PAYLOAD_BYTES [PROGRAM]
set -eu
. "$(dirname "$0")/wine-env.sh"
win64=$(cd "$1" && pwd)
setup=$(cd "$2" && pwd)
bytes=$3
program=${4:+$(cd "$(dirname "$4")" && pwd)/$(basename "$4")}
export WINEPREFIX="$win64/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
work=$(dirname "$setup")
cp "$win64/bin/Setup.exe" "$win64/bin/fault_setup.exe" "$setup/"
# The program users download, the i686 engine, under WOW64 where the
# machine runs 32-bit programs.
i686_setup=$(dirname "$win64")/win32/bin/Setup.exe
if [ -f "$i686_setup" ] && qv_runs_32bit; then cp "$i686_setup" "$setup/Setup32.exe"; else i686_setup=""; fi
rounds=${QV_BENCH_ROUNDS:-3}
rm -rf "$work"/installed-i686* "$work"/installed "$work"/installed-[0-9]* "$work"/extracted-wine* "$work/installed-program" \
  "$work"/installed-journal-*

measure() {  # measure NAME COMMAND...: sets wall_NAME, rss_NAME and status_NAME
  local name=$1 status=0; shift
  sync
  /usr/bin/time -f '%e %M' -o "$work/time.$name" "$@" > "$work/log.$name" 2>&1 || status=$?
  # A failing command puts a line of its own before the figures.
  read -r wall kb < <(tail -n 1 "$work/time.$name")
  eval "wall_$name=$wall rss_$name=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }') status_$name=$status"
}
uninstall_keys='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
wineserver -p 60  # one server for both runs: its start is not measured
# The rounds: a failed run in any round is the run's failure; the first
# round's folders are the ones compared.
status_extract=0 status_install=0 status_i686=0
for round in $(seq 1 "$rounds"); do
  measure "extract_$round" wine "$win64/bin/qvsetup.exe" extract "$(winepath -w "$setup")" \
    -d "$(winepath -w "$work/extracted-wine-$round")"
  measure "install_$round" wine "$setup/Setup.exe" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$(winepath -w "$work/installed-$round")"
  [ -n "$i686_setup" ] && measure "i686_$round" wine "$setup/Setup32.exe" /VERYSILENT /SUPPRESSMSGBOXES \
    "/DIR=$(winepath -w "$work/installed-i686-$round")"
  for name in extract install ${i686_setup:+i686}; do
    eval "[ \"\$status_${name}_$round\" -eq 0 ] || status_$name=\$status_${name}_$round"
  done
done
median_of() {  # median_of NAME: sets wall_NAME and rss_NAME to the medians over the rounds
  local name=$1 round walls="" rsss=""
  for round in $(seq 1 "$rounds"); do
    eval "walls=\"\$walls \$wall_${name}_$round\" rsss=\"\$rsss \$rss_${name}_$round\""
  done
  eval "wall_$name=$(printf '%s\n' $walls | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"
  eval "rss_$name=$(printf '%s\n' $rsss | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"
}
median_of extract
median_of install
[ -n "$i686_setup" ] && median_of i686
mv "$work/extracted-wine-1" "$work/extracted-wine"
mv "$work/installed-1" "$work/installed"
[ -n "$i686_setup" ] && mv "$work/installed-i686-1" "$work/installed-i686"
status_program=0
if [ -n "$program" ]; then
  measure program wine "$program" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$(winepath -w "$work/installed-program")" \
    "/LOG=$(winepath -w "$work/program.log")"
fi
# The journal's flushes: with (1) and without (0), alternating, best of two.
for round in 1 2; do
  for flush in 1 0; do
    rm -rf "$work/installed-journal-$flush"
    measure "journal_${flush}_$round" env QV_TEST_JOURNAL_FLUSH=$flush wine "$setup/fault_setup.exe" /VERYSILENT \
      /SUPPRESSMSGBOXES "/DIR=$(winepath -w "$work/installed-journal-$flush")"
  done
done
# The installation's entry in the list of programs goes again: the prefix is the tests' own.
for view in 64 32; do
  for key in $(wine reg query "$uninstall_keys" /reg:$view 2>/dev/null | tr -d '\r' | grep -o 'Benchmark_qv[0-9]*$' || true); do
    wine reg delete "$uninstall_keys\\$key" /f /reg:$view > /dev/null 2>&1 || true
  done
done
wineserver -k || true

# Wine hands a Linux parent only the low 8 bits of the exit code. None of
# Setup.exe's codes but 0 has a zero low byte (1602 → 66, 1603 → 67,
# 1618 → 82, 1641 → 105, 3010 → 194), so 0 here is success.
if [ "$status_install" -eq 0 ]; then
  echo "Setup.exe exit status: 0 (the low 8 bits that reach a Linux shell): completed"
else
  echo "Setup.exe FAILED: exit status $status_install (the low 8 bits of its exit code; 67 is 1603)"
  cat "$work/log.install"
fi
if [ "$status_extract" -ne 0 ]; then
  echo "qvsetup.exe extract FAILED: exit status $status_extract"
  cat "$work/log.extract"
fi
ok=$(diff -rq "$work/extracted-wine/app" "$work/installed" 2>&1 | grep -v 'UNINST' | head -3 || true)
[ -z "$ok" ] && echo "installed files: identical to the extracted ones" || echo "installed files DIFFER: $ok"
if [ -n "$program" ]; then
  if [ "$status_program" -ne 0 ]; then
    echo "the program FAILED: exit status $status_program"
    cat "$work/log.program"
  else
    same=$(diff -rq "$work/installed" "$work/installed-program" 2>&1 | grep -v 'UNINST' | head -3 || true)
    [ -z "$same" ] && echo "installed from the program: identical" || { echo "installed from the program: DIFFERS: $same"; status_program=1; }
  fi
fi
rate() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.1f", (s > 0 ? b / 1e6 / s : 0) }'; }
printf '\n%-24s %8s %9s %11s\n' "under Wine, $rounds rounds" "wall s" "MB/s" "max RSS MB"
printf '%-24s %8s %9s %11s\n' "qvsetup.exe extract" "$wall_extract" "$(rate "$wall_extract")" "$rss_extract"
printf '%-24s %8s %9s %11s   %s\n' "Setup.exe /VERYSILENT" "$wall_install" "$(rate "$wall_install")" "$rss_install" \
  "$(awk -v a="$wall_install" -v b="$wall_extract" 'BEGIN { r = (b > 0 ? a / b : 0)
     printf "%.2f x extract (goal: at most 1.0: %s)", r, (r <= 1.0 ? "met" : "NOT met") }')"
if [ -n "$i686_setup" ]; then
  same=$(diff -rq "$work/installed" "$work/installed-i686" 2>&1 | grep -v 'UNINST' | head -3 || true)
  [ "$status_i686" -eq 0 ] && [ -z "$same" ] || { echo "the i686 Setup.exe FAILED or installed other files: status $status_i686 $same"; status_i686=1; }
  printf '%-24s %8s %9s %11s   %s\n' "Setup.exe i686 (WOW64)" "$wall_i686" "$(rate "$wall_i686")" "$rss_i686" \
    "$(awk -v a="$wall_i686" -v b="$wall_extract" 'BEGIN { printf "%.2f x extract", (b > 0 ? a / b : 0) }')"
fi
if [ -n "$program" ] && [ "$status_program" -eq 0 ]; then
  check_ms=$(grep -o 'CRC-32 checked in [0-9.]* ms' "$work/program.log" | grep -o '[0-9.]*' | head -1)
  printf '%-24s %8s %9s %11s   %s\n' "program /VERYSILENT" "$wall_program" "$(rate "$wall_program")" "$rss_program" \
    "$(awk -v c="${check_ms:-0}" -v w="$wall_program" -v s="$(stat -c %s "$program")" 'BEGIN {
       printf "payload check %.0f ms over %.1f MB: %.1f%% of the installation (goal: under 5%%)", c, s / 1e6, (w > 0 ? c / 10 / w : 0) }')"
fi
if [ -n "$program" ] && [ "$status_program" -eq 0 ]; then
  # "time spent: the rest 55.4 ms, the payload check 0.6 ms, ...": one phase a line.
  grep -o 'time spent: .*' "$work/program.log" | tr -d '\r' | head -1 | sed 's/^time spent: /  where its time went: /; s/, /\n    /g; s/; /\n    /'
fi
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
with_flushes=$(best "$wall_journal_1_1" "$wall_journal_1_2")
without_flushes=$(best "$wall_journal_0_1" "$wall_journal_0_2")
printf '%-24s %8s   %s\n' "journal flushed" "$with_flushes" \
  "$(awk -v a="$with_flushes" -v b="$without_flushes" 'BEGIN { r = (a > 0 ? (a - b) / a * 100 : 0)
     printf "without the flushes %s s: the flushes are %.1f%% of the install time (goal: under 10%%: %s)", b, r, (r < 10 ? "met" : "NOT met") }')"
[ "$status_journal_1_1$status_journal_0_1$status_journal_1_2$status_journal_0_2" = 0000 ] || echo "fault_setup.exe FAILED in the journal's measurement"
[ "$status_install" -eq 0 ] && [ "$status_extract" -eq 0 ] && [ -z "$ok" ] && [ "$status_program" -eq 0 ] && [ "$status_i686" -eq 0 ]
