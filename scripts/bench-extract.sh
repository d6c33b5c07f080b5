#!/usr/bin/env bash
# `qvsetup extract` beside `unzip -q` on text and random files: 600 texts
# cut from the machine's documentation and licences, 600 files of
# pseudo-random bytes (which deflate cannot shrink, so they are stored),
# sizes spread evenly in logarithm from 1 KB up, about 90 MB in all. Both
# programs write the same files into a fresh folder; their runs take turns
# (RUNS of each, 5 unless told), each after a sync, and the medians of wall
# and processor seconds are printed with the ratio. The files are read from
# the page cache by both: the first run of each is not counted. Prints
# figures; it is not a test.
#   scripts/bench-extract.sh NATIVE_BUILD [RUNS]
set -eu
native=$(cd "${1:?usage: bench-extract.sh NATIVE_BUILD [RUNS]}" && pwd)
runs=${2:-5}
qvsetup=$native/bin/qvsetup
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-extract.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- the payload: the same files on the same machine every time ----
find /usr/share/common-licenses /usr/share/doc -type f ! -name '*.gz' -size -2M -print0 | LC_ALL=C sort -z |
  xargs -0 cat > pool.text 2> /dev/null || true
find /usr/share/doc -type f -name '*.gz' -print0 | LC_ALL=C sort -z | xargs -0 zcat -f >> pool.text 2> /dev/null || true
if command -v openssl > /dev/null; then
  openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass pass:qv-bench-extract < /dev/zero 2> /dev/null | head -c $((64 << 20)) > pool.random
else
  head -c $((64 << 20)) /dev/urandom > pool.random
fi
# One line per file: its pool, size and where in the pool it starts.
awk -v text="$(stat -c %s pool.text)" -v random="$(stat -c %s pool.random)" 'BEGIN { srand(30)
  for (i = 1; i <= 600; i++) { n = int(1024 * exp(rand() * log(256))); if (n > text) n = text
                               printf "text %d %d %d\n", i, n, int(rand() * (text - n)) }
  for (i = 1; i <= 600; i++) { n = int(1024 * exp(rand() * log(640)))
                               printf "random %d %d %d\n", i, n, int(rand() * (random - n)) } }' |
  while read -r kind i size skip; do
    d=payload/$kind/$((i % 12))
    mkdir -p "$d"
    dd if="pool.$kind" of="$d/$kind$i.dat" bs=64K iflag=skip_bytes,count_bytes skip="$skip" count="$size" status=none
  done
rm pool.text pool.random
files=$(find payload -type f | wc -l)
bytes=$(find payload -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
{
  echo '[setup]'
  echo 'app_name = "Extract benchmark"'
  echo 'uninstaller = false  # the payload alone is measured'
  find payload -type f | LC_ALL=C sort | while read -r f; do
    dest=${f#payload/}
    printf '\n[[file]]\nsource = "%s"\ndest = "{app}\\\\%s"\n' "$f" "${dest//\//\\\\}"
  done
} > bench.toml
"$qvsetup" build bench.toml -o out > /dev/null
(cd payload && zip -q -6 -r ../payload.zip .)

# ---- runs, taking turns ----
# Each run writes into a folder of its own, all removed only at the end: a
# file system without a journal (ext4 so made) passes over the inodes freed
# in the last minutes whenever it makes a file, and a removal just before a
# run would add that to both programs' times alike. (Thousands of files
# removed by a benchmark run just before do so as well.) On a virtual disk
# that state moves the same program's run by several times; the same runs
# into memory (a tmpfs) show what the programs themselves cost.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
count=0
run() {  # run NAME COMMAND... (the folder to write into last): appends "wall cpu" to times.NAME
  local name=$1 user sys wall
  shift
  sync
  /usr/bin/time -f '%e %U %S' -o time.last "$@" "$place/into$count" > log.last 2>&1 || { echo "$name failed:"; cat log.last; exit 1; }
  count=$((count + 1))
  read -r wall user sys < time.last
  awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f %.2f\n", w, u + s }' >> "times.$name"
}
rounds() {  # rounds LABEL: RUNS of each into $place, then their medians and the goal
  local i name
  declare -A wall cpu
  for i in $(seq 0 "$runs"); do
    run extract "$qvsetup" extract out -d
    run unzip unzip -q payload.zip -d
    if [ "$i" -eq 0 ]; then  # the first of each warms the cache and is checked
      diff -r payload "$place/into$((count - 2))/app" > /dev/null || { echo "extract: the files differ from the payload"; exit 1; }
      rm times.extract times.unzip
    fi
  done
  for name in extract unzip; do
    wall[$name]=$(cut -d' ' -f1 "times.$name" | median)
    cpu[$name]=$(cut -d' ' -f2 "times.$name" | median)
  done
  rm times.extract times.unzip
  printf '%-34s %8s %7s\n' "$1" "wall s" "cpu s"
  printf '%-34s %8s %7s\n' "qvsetup extract" "${wall[extract]}" "${cpu[extract]}" "unzip" "${wall[unzip]}" "${cpu[unzip]}"
  awk -v a="${wall[extract]}" -v b="${wall[unzip]}" -v c="${cpu[extract]}" -v d="${cpu[unzip]}" -v l="$1" 'BEGIN {
    r = (b > 0 ? a / b : 0)
    printf "goal: extract beside unzip, %s  %.2f x wall (%.2f x cpu), at most 0.40: %s\n",
           l, r, (d > 0 ? c / d : 0), (r <= 0.40 ? "met" : "NOT met") }'
}
printf 'text and random files: %d files, %.1f MB, setup data %.1f MB, zip %.1f MB; medians of %d runs\n' \
  "$files" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$(cat out/SETUP.* | wc -c | awk '{ print $1 / 1e6 }')" \
  "$(stat -c %s payload.zip | awk '{ print $1 / 1e6 }')" "$runs"
place=$work
rounds "on the disk"
# Into memory where a tmpfs has room for every run's files.
if [ "$(stat -f -c %T /dev/shm 2> /dev/null)" = tmpfs ] &&
   [ "$(df -k --output=avail /dev/shm | tail -1)" -gt $((bytes / 1024 * 2 * (runs + 1) + (1 << 20))) ]; then
  place=$(mktemp -d /dev/shm/qv-bench-extract.XXXXXX)
  trap 'rm -rf "$work" "$place"' EXIT
  rounds "in memory (tmpfs)"
fi
