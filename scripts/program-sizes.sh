#!/usr/bin/env bash
# The sizes of the programs every author's download carries, against their
# goals and the budgets the build holds them to (qv_release_program in
# cmake/delay-imports.cmake), for both machine types; and the demo's one
# program, hello-setup.exe, built from the example with each machine's
# engine and uninstaller. Fails when the i686 hello-setup.exe is above its
# budget (the engine programs' budgets fail their link already).
#   scripts/program-sizes.sh NATIVE_BUILD WIN64_BUILD [WIN32_BUILD]
set -eu
native=$(cd "${1:?usage: program-sizes.sh NATIVE_BUILD WIN64_BUILD [WIN32_BUILD]}" && pwd)
win64=$(cd "${2:?usage: program-sizes.sh NATIVE_BUILD WIN64_BUILD [WIN32_BUILD]}" && pwd)
win32=${3:-$win64/../win32}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# KiB: goal, budget (the budgets are those of src/engine/setup and uninstall).
hello_budget_kib=796
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-sizes.XXXXXX")
trap 'rm -rf "$work"' EXIT

kib() { awk -v b="$1" 'BEGIN { printf "%d", (b + 1023) / 1024 }'; }
budget_of() {  # the BUDGET_KIB of a program's CMakeLists
  sed -n 's/^qv_release_program([A-Za-z0-9]* BUDGET_KIB \([0-9]*\))$/\1/p' "$source_dir/src/engine/$1/CMakeLists.txt"
}
row() {  # name machine file goal budget
  if [ ! -f "$3" ]; then
    printf '%-16s %-7s %12s\n' "$1" "$2" "(not built)"
    return
  fi
  local size; size=$(stat -c %s "$3")
  local budget="$5 KiB"; [ "$5" = - ] && budget="(printed only)"
  printf '%-16s %-7s %9s KiB %8s KiB %14s   %s\n' "$1" "$2" "$(kib "$size")" "$4" "$budget" \
    "$([ "$(kib "$size")" -le "$4" ] && echo "goal met" || echo "goal NOT met")"
}
hello() {  # build machine-bin uninstaller [compression] -> the one program's path, or nothing
  local example="$1/examples/hello" compression=${4:-deflate}
  [ -f "$example/hello.exe" ] && [ -f "$2/Setup.exe" ] && [ -f "$2/$3" ] || return 0
  "$native/bin/qvsetup" build "$example/hello.toml" --exe "$work/$3-$compression-hello-setup.exe" \
    --engine "$2/Setup.exe" --uninstaller "$2/$3" --compression "$compression" > /dev/null
  echo "$work/$3-$compression-hello-setup.exe"
}

printf '%-16s %-7s %13s %12s %14s\n' program machine size goal budget
row Setup.exe i686 "$win32/bin/Setup.exe" 400 "$(budget_of setup)"
row UNISTB32.EXE i686 "$win32/bin/UNISTB32.EXE" 250 "$(budget_of uninstall)"
hello32=$(hello "$win32" "$win32/bin" UNISTB32.EXE)
row hello-setup.exe i686 "${hello32:-$work/none}" 500 "$hello_budget_kib"
# The same program as an author who asks for solid compression makes it.
solid32=$(hello "$win32" "$win32/bin" UNISTB32.EXE solid)
row "  solid" i686 "${solid32:-$work/none}" 500 "-"
row Setup.exe x86-64 "$win64/bin/Setup.exe" 400 "-"
row UNISTB64.EXE x86-64 "$win64/bin/UNISTB64.EXE" 250 "-"
hello64=$(hello "$win64" "$win64/bin" UNISTB64.EXE)
row hello-setup.exe x86-64 "${hello64:-$work/none}" 500 "-"
if [ -n "$hello32" ] && [ "$(kib "$(stat -c %s "$hello32")")" -gt "$hello_budget_kib" ]; then
  echo "the i686 hello-setup.exe is above its budget of $hello_budget_kib KiB: something made the engine or the uninstaller larger" >&2
  exit 1
fi
