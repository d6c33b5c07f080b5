#!/usr/bin/env bash
# Part of make bench, run in a virtual display: the installation of setup
# data by the real Setup.exe under Wine, unattended (/VERYSILENT
# /SUPPRESSMSGBOXES /DIR=, so that no window shows and none needs driving),
# beside `qvsetup.exe extract` of the same data under the same Wine, taking
# turns over ROUNDS rounds (3 unless QV_BENCH_ROUNDS says), each run into a
# folder of its own: the file system's own state (inodes freed by earlier
# runs, writes still going out) moves single runs by more than the
# difference measured; then the same rounds into memory (a tmpfs), which
# show what the programs themselves cost. Prints the median wall time, MB/s
# and peak memory of each, and Setup.exe's exit status.
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
export WINEPREFIX="$win64/wineprefix"
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
wineserver -p 60 || true  # one server for all runs, its start not measured (one already running serves)
# The rounds into folders under PLACE, measured as NAME_TAG_ROUND: a failed
# run in any round is the run's failure.
status_extract=0 status_install=0 status_i686=0
run_rounds() {  # run_rounds PLACE TAG
  local place=$1 tag=$2 round name
  for round in $(seq 1 "$rounds"); do
    measure "extract_${tag}_$round" wine "$win64/bin/qvsetup.exe" extract "$(winepath -w "$setup")" \
      -d "$(winepath -w "$place/extracted-wine-$round")"
    measure "install_${tag}_$round" wine "$setup/Setup.exe" /VERYSILENT /SUPPRESSMSGBOXES \
      "/DIR=$(winepath -w "$place/installed-$round")"
    [ -n "$i686_setup" ] && measure "i686_${tag}_$round" wine "$setup/Setup32.exe" /VERYSILENT /SUPPRESSMSGBOXES \
      "/DIR=$(winepath -w "$place/installed-i686-$round")"
    for name in extract install ${i686_setup:+i686}; do
      eval "[ \"\$status_${name}_${tag}_$round\" -eq 0 ] || status_$name=\$status_${name}_${tag}_$round"
    done
  done
}
median_of() {  # median_of NAME TAG: sets wall_NAME_TAG and rss_NAME_TAG to the medians over the rounds
  local round walls="" rsss=""
  for round in $(seq 1 "$rounds"); do
    eval "walls=\"\$walls \$wall_$1_$2_$round\" rsss=\"\$rsss \$rss_$1_$2_$round\""
  done
  eval "wall_$1_$2=$(printf '%s\n' $walls | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"
  eval "rss_$1_$2=$(printf '%s\n' $rsss | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"
}
run_rounds "$work" disk
# The first round's folders are the ones compared.
mv "$work/extracted-wine-1" "$work/extracted-wine"
mv "$work/installed-1" "$work/installed"
[ -n "$i686_setup" ] && mv "$work/installed-i686-1" "$work/installed-i686"
# The same rounds into memory (a tmpfs, through Wine's Z: drive) where one
# has room for them: the programs' own costs, without the disk's state.
memory=""
if [ "$(stat -f -c %T /dev/shm 2> /dev/null)" = tmpfs ] &&
   [ "$(df -k --output=avail /dev/shm | tail -1)" -gt $((bytes / 1024 * 3 * rounds + (1 << 20))) ]; then
  memory=$(mktemp -d /dev/shm/qv-bench-install.XXXXXX)
  trap 'rm -rf "$memory"' EXIT
  run_rounds "$memory" memory
  rm -rf "$memory"
fi
for tag in disk ${memory:+memory}; do
  median_of extract $tag
  median_of install $tag
  [ -n "$i686_setup" ] && median_of i686 $tag
done
status_program=0
if [ -n "$program" ]; then
  # As many rounds as the others, for a median beside theirs; the log kept is the last round's.
  for round in $(seq 1 "$rounds"); do
    rm -rf "$work/installed-program" "$work/program.log"
    measure "program_disk_$round" wine "$program" /VERYSILENT /SUPPRESSMSGBOXES \
      "/DIR=$(winepath -w "$work/installed-program")" "/LOG=$(winepath -w "$work/program.log")"
    eval "[ \"\$status_program_disk_$round\" -eq 0 ] || status_program=\$status_program_disk_$round"
  done
  median_of program disk
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
  tail -n 5 "$work"/log.install_*
fi
if [ "$status_extract" -ne 0 ]; then
  echo "qvsetup.exe extract FAILED: exit status $status_extract"
  tail -n 5 "$work"/log.extract_*
fi
ok=$(diff -rq "$work/extracted-wine/app" "$work/installed" 2>&1 | grep -v 'UNINST' | head -3 || true)
[ -z "$ok" ] && echo "installed files: identical to the extracted ones" || echo "installed files DIFFER: $ok"
if [ -n "$program" ]; then
  if [ "$status_program" -ne 0 ]; then
    echo "the program FAILED: exit status $status_program"
    tail -n 5 "$work"/log.program_disk_*
  else
    same=$(diff -rq "$work/installed" "$work/installed-program" 2>&1 | grep -v 'UNINST' | head -3 || true)
    [ -z "$same" ] && echo "installed from the program: identical" || { echo "installed from the program: DIFFERS: $same"; status_program=1; }
  fi
fi
rate() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.1f", (s > 0 ? b / 1e6 / s : 0) }'; }
if [ -n "$i686_setup" ]; then
  same=$(diff -rq "$work/installed" "$work/installed-i686" 2>&1 | grep -v 'UNINST' | head -3 || true)
  [ "$status_i686" -eq 0 ] && [ -z "$same" ] || { echo "the i686 Setup.exe FAILED or installed other files: status $status_i686 $same"; status_i686=1; }
fi
row() {  # row LABEL NAME TAG [NOTE]: the medians of one program's rounds
  local wall=wall_$2_$3 rss=rss_$2_$3
  printf '%-24s %8s %9s %11s   %s\n' "$1" "${!wall}" "$(rate "${!wall}")" "${!rss}" "${4:-}"
}
times_extract() {  # times_extract NAME TAG: that program's median over extract's
  local wall=wall_$1_$2 extract=wall_extract_$2
  awk -v a="${!wall}" -v b="${!extract}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}
for tag in disk ${memory:+memory}; do
  where="on the disk"; [ "$tag" = memory ] && where="into memory"
  printf '\n%-24s %8s %9s %11s\n' "under Wine, $where" "wall s" "MB/s" "max RSS MB"
  row "qvsetup.exe extract" extract $tag
  ratio=$(times_extract install $tag)
  row "Setup.exe /VERYSILENT" install $tag \
    "$ratio x extract $where (goal: at most 1.0: $(awk -v r="$ratio" 'BEGIN { print (r <= 1.0 ? "met" : "NOT met") }'))"
  [ -z "$i686_setup" ] || row "Setup.exe i686 (WOW64)" i686 $tag "$(times_extract i686 $tag) x extract"
done
printf '%s rounds each, taking turns; medians\n' "$rounds"
if [ -n "$program" ] && [ "$status_program" -eq 0 ]; then
  check_ms=$(grep -o 'CRC-32 checked in [0-9.]* ms' "$work/program.log" | grep -o '[0-9.]*' | head -1)
  printf '%-24s %8s %9s %11s   %s\n' "program, on the disk" "$wall_program_disk" "$(rate "$wall_program_disk")" \
    "$rss_program_disk" "$(awk -v c="${check_ms:-0}" -v w="$wall_program_disk" -v s="$(stat -c %s "$program")" 'BEGIN {
       printf "payload check %.0f ms over %.1f MB: %.1f%% of the installation (goal: under 5%%)", c, s / 1e6, (w > 0 ? c / 10 / w : 0) }')"
fi
if [ -n "$program" ] && [ "$status_program" -eq 0 ]; then
  # "time spent: the rest 55.4 ms, the payload check 0.6 ms, ...": one phase a line.
  grep -o 'time spent: .*' "$work/program.log" | tr -d '\r' | head -1 | sed 's/^time spent: /  where its time went (its last round): /; s/, /\n    /g; s/; /\n    /'
fi
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
with_flushes=$(best "$wall_journal_1_1" "$wall_journal_1_2")
without_flushes=$(best "$wall_journal_0_1" "$wall_journal_0_2")
printf '%-24s %8s   %s\n' "journal flushed" "$with_flushes" \
  "$(awk -v a="$with_flushes" -v b="$without_flushes" 'BEGIN { r = (a > 0 ? (a - b) / a * 100 : 0)
     printf "without the flushes %s s: the flushes are %.1f%% of the install time (goal: under 10%%: %s)", b, r, (r < 10 ? "met" : "NOT met") }')"
[ "$status_journal_1_1$status_journal_0_1$status_journal_1_2$status_journal_0_2" = 0000 ] || echo "fault_setup.exe FAILED in the journal's measurement"
[ "$status_install" -eq 0 ] && [ "$status_extract" -eq 0 ] && [ -z "$ok" ] && [ "$status_program" -eq 0 ] && [ "$status_i686" -eq 0 ]
