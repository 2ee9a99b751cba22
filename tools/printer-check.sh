#!/usr/bin/env bash
# The print step of ./test: the app folder's tests once more beside a real CUPS scheduler whose
# default queue is a colour PDF printer (tools/printer-check.ppd), as on a desktop that prints.
# The scheduler is the step's own (tools/private-cupsd.sh). At least one test must run, every
# test must pass and no job may reach the queue. Only a missing scheduler skips the step.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LW_BUILD_DIR:-$ROOT/build}"
QUEUE=lw-check-pdf
# shellcheck source=private-cupsd.sh
source "$ROOT/tools/private-cupsd.sh"

if ! cupsd_find; then
    echo "Print step skipped: no CUPS scheduler here (Debian packages cups-daemon and cups-client;" \
        "tools/setup.sh --test unpacks them into $CUPSD_FETCHED without installing them)"
    exit 0
fi
trap cupsd_stop EXIT
trap "exit 1" INT TERM HUP
fail() {
    echo "Print step failed: $*" >&2
    cupsd_log >&2
    exit 1
}
cupsd_start || fail "the CUPS scheduler ($CUPSD) did not start"
said="$(cupsd_queue "$QUEUE")" || fail "the queue could not be set up: $said"
default="$(cups lpstat -d 2>&1)" || true
[ "$default" = "system default destination: $QUEUE" ] ||
    fail "the tests' CUPS client does not see $QUEUE as the default: $default"
echo "CUPS scheduler $CUPSD at $CUPS_SERVER, default queue $QUEUE (to /dev/null)"

status=0
# A selection of no test fails (a mistyped label would otherwise pass with nothing run).
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD" -L '^app$' --no-tests=error --output-on-failure \
    --parallel "$(nproc)" || status=1
# Every job the scheduler holds or held, whatever its state.
if ! jobs="$(cups lpstat -W all -o 2>&1)"; then
    echo "The scheduler could not list its jobs: $jobs" >&2
    status=1
elif [ -n "$jobs" ]; then
    echo "Jobs reached the queue:" >&2
    echo "$jobs" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "Every app test passed beside the scheduler; nothing reached the queue."
exit "$status"
