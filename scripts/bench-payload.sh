#!/bin/sh
# Assembles a realistic payload from files already on the machine into DIR
# (kept out of the repository): Wine's PE libraries and programs (about
# 110 MB, executables resemble each other as an application's do) and the
# plain-text documents under /usr/share/doc (licences, read-me files).
# Usage: scripts/bench-payload.sh DIR [PE_MB] [TEXT_MB]
set -eu
dir=$1
pe_mb=${2:-110}
text_mb=${3:-30}
rm -rf "$dir"
mkdir -p "$dir/bin" "$dir/doc"

pe_root=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -d "$pe_root" ] || pe_root=/usr/lib/wine/x86_64-windows
[ -d "$pe_root" ] || { echo "no Wine PE libraries found" >&2; exit 1; }

# Whole files in name order until the budget is reached, so that the same
# machine assembles the same payload every time.
take() {  # take LIST_FILE TARGET_DIR BUDGET_BYTES
    total=0
    n=0
    while IFS= read -r f; do
        size=$(stat -c %s "$f")
        [ $((total + size)) -gt "$3" ] && continue
        total=$((total + size))
        # Short names that Windows keeps as they are: a destination holds
        # at most 63 bytes, and Windows drops a name's trailing dots.
        n=$((n + 1))
        name=$(basename "$f" | cut -c1-32 | sed 's/[^A-Za-z0-9._+-]/_/g; s/[.]*$//')
        cp "$f" "$2/$n-$name"
    done < "$1"
}
list=$(mktemp)
trap 'rm -f "$list"' EXIT
find "$pe_root" -maxdepth 1 -type f \( -name '*.dll' -o -name '*.exe' \) -size -8M | LC_ALL=C sort > "$list"
take "$list" "$dir/bin" $((pe_mb * 1024 * 1024))
find /usr/share/doc -type f ! -name '*.gz' ! -name '*.xz' ! -name '*.bz2' ! -name '*.png' ! -name '*.jpg' \
    -size -2M | LC_ALL=C sort > "$list"
take "$list" "$dir/doc" $((text_mb * 1024 * 1024))
echo "$dir: $(find "$dir" -type f | wc -l) files, $(du -sb "$dir" | cut -f1) bytes"
