#!/usr/bin/env bash
# Benchmark of qvsetup: about 200 MB in about 2,000 files of mixed content
# (text, base64, random bytes, zeros, a few large files, some duplicates).
# Prints wall time, processor time, MB/s and peak memory of `build` (on one
# thread and on all), `verify` and `extract`, beside `zip -6 -r`, `unzip -t`
# and `unzip` of the same files in the same run, as ratios, and whether the
# goals are met. Then one 150 MB file alone, to show that memory does not
# grow with file size. Prints figures; it is not a test. The time ratios are
# qvsetup's wall time over the other program's: below 1 means qvsetup is
# faster. On a machine that other work keeps busy, wall times stretch; the
# processor times say what each program itself needed.
# With a Windows build it also installs the same setup data with the real
# Setup.exe, unattended (/VERYSILENT /SUPPRESSMSGBOXES), under Wine beside
# `qvsetup.exe extract` under Wine (bench-install.sh), once more from
# one program built with --exe, with the share of that installation spent
# on the program's check of its payload, and measures the engine at scale
# (bench-scale.sh): start-up with 100,000 file records and the installation
# of 20,000 small files; then the programs' sizes against their goals and
# budgets (program-sizes.sh). An installation that fails or differs, or a
# program above its budget, makes the whole run fail, after its other
# figures.
#   scripts/bench.sh NATIVE_BUILD [WIN64_BUILD]
set -eu  # no pipefail: the pools are cut with head, which closes pipes early
. "$(dirname "$0")/wine-env.sh"
native=${1:?usage: bench.sh NATIVE_BUILD [WIN64_BUILD]}
win64=${2:-}
[ -n "$win64" ] && win64=$(cd "$win64" && pwd)
native=$(cd "$native" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
qvsetup=$(cd "$native" && pwd)/bin/qvsetup
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- the payload: deterministic pools, files cut from them ----
random_pool() {  # fixed-seed pseudo-random bytes (openssl when present)
  if command -v openssl >/dev/null; then
    openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass pass:qv-bench < /dev/zero 2>/dev/null | head -c "$1"
  else
    head -c "$1" /dev/urandom
  fi
}
echo "making the payload in $work ..."
random_pool $((64 << 20)) > pool.random
base64 -w 76 pool.random | head -c $((32 << 20)) > pool.base64
awk 'BEGIN { srand(7); split("setup install file folder registry icon group data stream block disk error 安装 文件 程序", w, " ");
             for (i = 0; i < 600000; i++) { line = sprintf("%06d %02d:%02d:%02d", i, i % 24, i % 60, i % 59);
               n = 4 + int(rand() * 10); for (j = 0; j < n; j++) line = line " " w[1 + int(rand() * 15)]; print line } }' > pool.text
cut_file() {  # cut_file POOL SIZE: prints SIZE bytes of POOL from a position that depends on RANDOM
  local pool_size skip
  pool_size=$(stat -c %s "$1")
  skip=$(( (RANDOM * 32768 + RANDOM) % (pool_size - $2) ))
  dd if="$1" bs=64K iflag=skip_bytes,count_bytes skip="$skip" count="$2" status=none
}
RANDOM=42
mkdir -p payload
for i in $(seq 1 1000); do d=payload/text/$((i % 20)); mkdir -p "$d"; cut_file pool.text $((1024 + RANDOM % 30000)) > "$d/log$i.txt"; done
for i in $(seq 1 500); do d=payload/b64/$((i % 10)); mkdir -p "$d"; cut_file pool.base64 $((20000 + RANDOM * 4 % 150000)) > "$d/data$i.b64"; done
for i in $(seq 1 360); do d=payload/bin/$((i % 10)); mkdir -p "$d"; cut_file pool.random $((10000 + RANDOM * 8 % 250000)) > "$d/blob$i.bin"; done
mkdir -p payload/zero payload/large payload/dup
for i in $(seq 1 100); do head -c $((50000 + RANDOM * 16 % 500000)) /dev/zero > "payload/zero/z$i.dat"; done
for i in $(seq 1 10); do
  { cut_file pool.text $((3 << 20)); cut_file pool.random $((3 << 20)); cut_file pool.base64 $((2 << 20)); } > "payload/large/big$i.dat"
done
for i in $(seq 1 32); do cp "payload/bin/$((i * 7 % 10))/blob$((i * 7 % 10 + 10 * (i % 30) + 10)).bin" "payload/dup/copy$i.bin"; done
files=$(find payload -type f | wc -l)
bytes=$(find payload -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')

{
  echo '[setup]'
  echo 'app_name = "Benchmark"'
  echo 'uninstaller = false  # the payload alone is measured'
  find payload -type f | sort | while read -r f; do
    dest=${f#payload/}
    printf '\n[[file]]\nsource = "%s"\ndest = "{app}\\\\%s"\n' "$f" "${dest//\//\\\\}"
  done
} > bench.toml

# ---- timing ----
declare -A wall rss cpu
install_failed=0
measure() {  # measure NAME COMMAND...: wall seconds, processor seconds and peak resident memory (MB)
  local name=$1 user sys; shift
  sync
  /usr/bin/time -f '%e %M %U %S' -o "time.$name" "$@" > "log.$name" 2>&1 || { echo "$name failed:"; cat "log.$name"; exit 1; }
  read -r wall[$name] kb user sys < "time.$name"
  rss[$name]=$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')
  cpu[$name]=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
}
rate() { awk -v b="$bytes" -v s="${wall[$1]}" 'BEGIN { printf "%.1f", (s > 0 ? b / 1e6 / s : 0) }'; }
ratio() { awk -v a="${wall[$1]}" -v b="${wall[$2]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

threads=$(nproc)
echo "payload: $files files, $mb MB; $threads processors"
measure build "$qvsetup" build bench.toml -o out
measure build-1 "$qvsetup" build bench.toml -o out-1 --jobs 1
measure verify "$qvsetup" verify out
measure extract "$qvsetup" extract out -d extracted
measure zip bash -c 'cd payload && zip -q -6 -r ../payload.zip .'
measure unzip-t unzip -tq payload.zip
measure unzip unzip -q payload.zip -d unzipped
diff -r payload extracted/app > /dev/null && echo "extracted files: identical to the payload"
same=yes
for f in out/SETUP.*; do cmp -s "$f" "out-1/${f#out/}" || same=no; done
[ "$same" = yes ] && echo "build on 1 thread and on $threads: the same bytes" || echo "build on 1 thread and on $threads: DIFFERENT BYTES"
grep '^compression:' log.build || true

setup_bytes=$(cat out/SETUP.* | wc -c)
zip_bytes=$(stat -c %s payload.zip)
row() {  # row LABEL NAME [RATIO TEXT]
  printf '%-20s %8s %7s %9s %11s   %s\n' "$1" "${wall[$2]}" "${cpu[$2]}" "$(rate "$2")" "${rss[$2]}" "${3:-}"
}
printf '\n%-20s %8s %7s %9s %11s   %s\n' step "wall s" "cpu s" "MB/s" "max RSS MB" "time ratio to zip/unzip"
row "qvsetup build" build "$(ratio build zip) x zip -6 -r"
row "qvsetup build -j 1" build-1 "$(ratio build-1 zip) x zip -6 -r"
row "qvsetup verify" verify "$(ratio verify unzip-t) x unzip -t"
row "qvsetup extract" extract "$(ratio extract unzip) x unzip"
row "zip -6 -r" zip
row "unzip -t" unzip-t
row "unzip" unzip
awk -v s="$setup_bytes" -v z="$zip_bytes" -v b="$bytes" 'BEGIN {
  printf "\nsizes: setup data %.1f MB (%.1f%% of the payload), zip %.1f MB (%.1f%%)\n", s / 1e6, 100 * s / b, z / 1e6, 100 * z / b }'
goal() {  # goal TEXT RATIO LIMIT [CONDITION]
  awk -v t="$1" -v r="$2" -v l="$3" -v c="${4:-1}" 'BEGIN {
    printf "goal: %-44s %s x, at most %s: %s\n", t, r, l, (r <= l && c ? "met" : "NOT met") }'
}
echo
goal "build beside zip -6 -r, no larger output" "$(ratio build zip)" 0.40 "$([ "$setup_bytes" -le "$zip_bytes" ] && echo 1 || echo 0)"
goal "verify beside unzip -t" "$(ratio verify unzip-t)" 0.40
goal "extract beside unzip" "$(ratio extract unzip)" 0.40

if [ -n "$win64" ]; then
  rm -rf extracted unzipped
  # The same installation as one program (build --exe), for the cost of its payload check.
  mkdir -p program
  measure build-exe "$qvsetup" build bench.toml --exe program/bench-setup.exe --engine "$win64/bin/Setup.exe"
  printf '%-16s %8s %9s %11s\n' "build --exe" "${wall[build-exe]}" "$(rate build-exe)" "${rss[build-exe]}"
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/bench-install.sh" "$win64" out "$bytes" program/bench-setup.exe ||
    install_failed=1
  rm -rf out-1 installed installed-* extracted-wine* program
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/bench-scale.sh" "$native" "$win64" "$work/scale" || install_failed=1
  rm -rf "$work/scale"
  echo
  "$here/program-sizes.sh" "$native" "$win64" || install_failed=1
fi

# ---- memory with one large file ----
rm -rf out out-1 extracted unzipped payload.zip installed installed-* extracted-wine* program
mkdir -p single
{ for i in 1 2 3; do cut_file pool.random $((25 << 20)); cut_file pool.text $((25 << 20)); done; } | head -c $((150 << 20)) > single/large.bin
printf '[setup]\napp_name = "Large"\nuninstaller = false\n\n[[file]]\nsource = "single/large.bin"\ndest = "{app}\\\\large.bin"\n' > large.toml
measure large-build "$qvsetup" build large.toml -o large-out
measure large-verify "$qvsetup" verify large-out
measure large-extract "$qvsetup" extract large-out -d large-extracted
cmp -s single/large.bin large-extracted/app/large.bin && echo "extracted file: identical" || echo "extracted file: DIFFERS"
echo "one file of $(( $(stat -c %s single/large.bin) >> 20 )) MiB: max RSS build ${rss[large-build]} MB, verify ${rss[large-verify]} MB, extract ${rss[large-extract]} MB"
exit "$install_failed"
