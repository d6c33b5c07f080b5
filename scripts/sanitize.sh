#!/usr/bin/env bash
# Builds the native tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (GCC, Debug) and runs them: any invalid access, leak or undefined
# behaviour fails the test that caused it.
# Usage: scripts/sanitize.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 1
fi
build=$1
cd "$(dirname "$0")/.."

start=$(date +%s)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
cmake --build "$build" -j2
built=$(date +%s)

# Reports go to the test's output; a leak or a finding ends that test with an error.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
(cd "$build" && ctest --output-on-failure --timeout 600) || status=$?
done_at=$(date +%s)
echo "sanitize: build $((built - start)) s, tests $((done_at - built)) s"
exit $status
