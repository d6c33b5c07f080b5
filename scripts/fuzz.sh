#!/usr/bin/env bash
# Builds the libFuzzer targets of the readers (clang, with the address and
# undefined-behaviour sanitizers) and runs each for SECONDS seconds from the
# seeds the build writes. Prints the executions and the crashes of every
# target; exits non-zero when any target crashed (or timed out, or ran out
# of memory). Crash inputs are kept in BUILD_DIR/fuzz/artifacts/<target>/.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 1
fi
build=$1
seconds=$2
cd "$(dirname "$0")/.."

start=$(date +%s)
cmake -S . -B "$build" -DQV_FUZZ=ON -DQV_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$build" -j2 --target setup_data_fuzzer data_files_fuzzer uninstall_log_fuzzer \
  journal_fuzzer program_payload_fuzzer script_reader_fuzzer fuzz_seeds
echo "fuzz: build took $(($(date +%s) - start)) s"

fuzz=$build/fuzz
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
summary=()
for target in setup_data data_files uninstall_log journal program_payload script_reader; do
  work=$fuzz/corpus/$target        # what this run adds to the seeds
  artifacts=$fuzz/artifacts/$target
  log=$fuzz/logs/$target.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  rm -f "$artifacts"/*
  status=0
  "$build/bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$fuzz/seeds/$target" \
    </dev/null >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find "$artifacts" -type f | wc -l)
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1  # died without an artifact
  summary+=("$(printf '%-14s executions %10s   crashes %s' "$target" "${runs:-?}" "$crashes")")
  if [ "$crashes" -ne 0 ]; then
    failed=1
    echo "fuzz: $target failed (exit $status), see $log" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -5 >&2 || true
  fi
done
printf '%s\n' "${summary[@]}"
exit $failed
