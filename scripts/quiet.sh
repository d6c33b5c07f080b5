#!/usr/bin/env bash
# One step of `make demo` or `make test` (a configure, a build) with its
# output kept in a log: a line when it starts and ends, the build's progress
# in between on a terminal, and on failure the end of the log with its name.
# V=1 shows all of the output as it comes, and no log is kept.
#   quiet.sh LABEL LOG COMMAND...
set -uo pipefail
label=$1 log=$2
shift 2
if [ "${V:-0}" = 1 ]; then
    exec "$@"
fi
mkdir -p "$(dirname "$log")"
start=$SECONDS
"$@" >"$log" 2>&1 &
pid=$!
if [ -t 1 ]; then
    # The build's own count ("[ 62%] Building ...") as it goes.
    while kill -0 "$pid" 2>/dev/null; do
        percent=$(grep -o '^\[ *[0-9]*%\]' "$log" 2>/dev/null | tail -n 1 | tr -d '[] ')
        printf '\r%s ... %s' "$label" "${percent:-}"
        sleep 1
    done
    printf '\r\033[K'
fi
wait "$pid"
status=$?
if [ "$status" -eq 0 ]; then
    printf '%s: done (%d s)\n' "$label" $((SECONDS - start))
    exit 0
fi
printf '%s: failed\n' "$label"
tail -n 40 "$log" | sed 's/^/    /'
printf '%s failed (exit status %d); the whole output is in %s\n' "$label" "$status" "$log" >&2
exit "$status"
