#!/usr/bin/env bash
# Cancel while a 512-MiB PDF goes to a real CUPS scheduler (lw_bench_cupscancel), on one core: the
# scheduler is one of our own (tools/private-cupsd.sh), in a temporary folder removed afterwards,
# with a queue writing to /dev/null; never the system's, never a printer. Both it and the bench
# run on core 0. Lists the jobs the scheduler was left with.
#   bench/cups_cancel.sh   (LW_BUILD_DIR: the build folder, build/ by default)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LW_BUILD_DIR:-$ROOT/build}"
QUEUE=lw-check-pdf
# shellcheck source=../tools/private-cupsd.sh
source "$ROOT/tools/private-cupsd.sh"

BENCH="$BUILD/bin/lw_bench_cupscancel"
[ -x "$BENCH" ] || { echo "Build lw_bench_cupscancel first ($BENCH)" >&2; exit 2; }
cupsd_find || fetch_scheduler
cupsd_find || { echo "No CUPS scheduler to run" >&2; exit 2; }
trap cupsd_stop EXIT
trap "exit 1" INT TERM HUP
fail() {
    echo "$*" >&2
    cupsd_log >&2
    exit 1
}
cupsd_start || fail "The CUPS scheduler ($CUPSD) did not start"
said="$(cupsd_queue "$QUEUE")" || fail "The queue could not be set up: $said"
taskset -a -p -c 0 "$cupsd_pid" >/dev/null
echo "CUPS scheduler $CUPSD (pid $cupsd_pid) at $CUPS_SERVER, queue $QUEUE (to /dev/null), core 0"

status=0
taskset -c 0 "$BENCH" "$QUEUE" "$cupsd_pid" || status=$?
echo "Jobs left with the scheduler:"
cups lpstat -W all -o "$QUEUE" 2>&1 | sed 's/^/  /' || true
echo "Jobs not completed:"
cups lpstat -l -W not-completed -o "$QUEUE" 2>&1 | sed 's/^/  /' || true
exit "$status"
