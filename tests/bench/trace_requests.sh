#!/bin/sh
# Counts the wineserver requests in a trace made with TAPWIRE_WINESERVER_TRACE
# (see tests/wine/with-harness.sh), per Wine thread and request, busiest
# threads first: divide by the bytes sent to get what each byte costs.
# Only the part of the trace after the last process start is counted (the
# prefix's boot would drown everything else), so run the program under study
# directly: TAPWIRE_BENCH_BYTES=200 ... with-harness.sh wine stage_bench.exe.
# Thread ids are reused once a thread has ended: a stage's threads are told
# apart by the requests they make (register_async: a reader; reply_message:
# the owner of a window that takes sent messages).
#
# Usage: trace_requests.sh TRACE [MIN_COUNT]
set -eu
[ $# -ge 1 ] || { echo "usage: $0 TRACE [MIN_COUNT]" >&2; exit 2; }
min=${2:-20}
start=$(grep -n 'init_first_thread(' "$1" | tail -n 1 | cut -d: -f1)
counts=$(mktemp)
trap 'rm -f "$counts"' EXIT
# A request line reads "01c0: send_message( id=01a0, ... )"; its reply line
# reads "01c0: send_message() = 0 { ... }". Counts become "count thread request".
tail -n "+${start:-1}" "$1" | grep -E '^[0-9a-f]{4}: [a-z_]+\(' | grep -vE '\) = ' |
    sed -E 's/^([0-9a-f]{4}): ([a-z_]+)\(.*/\1 \2/' | sort | uniq -c >"$counts"
awk '{ total[$2] += $1 } END { for (t in total) print total[t], t }' "$counts" | sort -rn |
    while read -r total thread; do
        [ "$total" -ge "$min" ] || continue
        echo "thread $thread: $total requests"
        awk -v t="$thread" -v min="$min" '$2 == t && $1 >= min { printf "  %7d %s\n", $1, $3 }' "$counts" | sort -rn
    done
