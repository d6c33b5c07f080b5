#!/usr/bin/env bash
# Builds the bundled example into setup data with qvsetup, then lists and
# verifies it.
#   scripts/demo.sh NATIVE_BUILD WIN64_BUILD
# The Windows build holds hello.exe beside a copy of examples/hello/hello.toml
# and its texts (the script's paths are relative to its own folder).
set -euo pipefail
native=${1:?usage: demo.sh NATIVE_BUILD WIN64_BUILD}
win64=${2:?usage: demo.sh NATIVE_BUILD WIN64_BUILD}
qvsetup="$native/bin/qvsetup"
example="$win64/examples/hello"
output="$example/output"

step() { printf '\n== %s\n' "$*"; }

step "qvsetup build $example/hello.toml -o $output"
"$qvsetup" build "$example/hello.toml" -o "$output"
step "qvsetup list $output"
"$qvsetup" list "$output"
step "qvsetup verify $output"
"$qvsetup" verify "$output"
