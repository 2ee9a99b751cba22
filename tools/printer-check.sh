#!/usr/bin/env bash
# The print step of ./test: the app folder's tests once more beside a real CUPS scheduler whose
# default queue is a colour PDF printer (tools/printer-check.ppd), as on a desktop that prints.
# The scheduler is the step's own: its files and its only socket in a temporary folder, no
# network port, run as whoever runs the step. Its queue writes to /dev/null, the one file device
# every scheduler allows, so no backend (cups-pdf's is root's only) and no filter is needed.
# The tests' CUPS client sees this scheduler alone: CUPS_SERVER names its socket, and a home and
# server root of the step's own, with PRINTER and LPDEST unset, keep the user's defaults
# (~/.cups/lpoptions, /etc/cups/lpoptions) out. At least one test must run, every test must pass
# and no job may reach the queue. Only a missing scheduler skips the step.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LW_BUILD_DIR:-$ROOT/build}"
# Where tools/setup.sh --test unpacks the scheduler when CUPS is not installed.
FETCHED="$BUILD/print-scheduler"
QUEUE=lw-check-pdf

bins="" libs=""
if [ -x /usr/sbin/cupsd ] && command -v lpadmin >/dev/null && command -v lpstat >/dev/null; then
    CUPSD=/usr/sbin/cupsd
elif [ -x "$FETCHED/usr/sbin/cupsd" ]; then
    CUPSD="$FETCHED/usr/sbin/cupsd"
    bins="$FETCHED/usr/sbin:$FETCHED/usr/bin:"
    libs="$(find "$FETCHED" \( -name '*.so' -o -name '*.so.*' \) -printf '%h\n' | sort -u | paste -sd:)"
else
    echo "Print step skipped: no CUPS scheduler here (Debian packages cups-daemon and cups-client;" \
        "tools/setup.sh --test unpacks them into $FETCHED without installing them)"
    exit 0
fi
# The scheduler's programs with the libraries unpacked beside them; the tests keep the system's.
cups() { PATH="$bins$PATH" LD_LIBRARY_PATH="$libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" LC_ALL=C "$@"; }

work="$(mktemp -d)"
pid=""
finish() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap finish EXIT
trap "exit 1" INT TERM HUP
# Run as root, the scheduler's helpers run as its own user, who must reach its folders.
chmod 755 "$work"
mkdir -p "$work"/{conf/ppd,spool/tmp,cache,state,log,home}
export CUPS_SERVER="$work/cups.sock" CUPS_SERVERROOT="$work/conf" HOME="$work/home"
unset PRINTER LPDEST
cat >"$work/conf/cupsd.conf" <<EOF
Listen $CUPS_SERVER
Browsing No
LogLevel warn
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
{
    echo "ServerRoot $work/conf"
    echo "RequestRoot $work/spool"
    echo "TempDir $work/spool/tmp"
    echo "CacheDir $work/cache"
    echo "StateDir $work/state"
    echo "ErrorLog $work/log/error_log"
    echo "AccessLog $work/log/access_log"
    echo "PageLog $work/log/page_log"
    echo "SystemGroup $(id -gn)"
    if [ -n "$libs" ]; then
        echo "ServerBin $FETCHED/usr/lib/cups"
        echo "DataDir $FETCHED/usr/share/cups"
    fi
} >"$work/conf/cups-files.conf"
# Started directly, not through cups(): $! is then the scheduler itself, which finish() ends.
LD_LIBRARY_PATH="$libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
    "$CUPSD" -f -c "$work/conf/cupsd.conf" -s "$work/conf/cups-files.conf" >"$work/log/cupsd.out" 2>&1 &
pid=$!
running() { [ "$(cups lpstat -r 2>/dev/null)" = "scheduler is running" ]; }
for _ in $(seq 300); do
    running && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
fail() {
    echo "Print step failed: $*" >&2
    tail -n 5 "$work/log/cupsd.out" "$work/log/error_log" 2>/dev/null >&2 || true
    exit 1
}
running || fail "the CUPS scheduler ($CUPSD) did not start"
# lpadmin warns that PPD files are deprecated: shown only when it fails.
said="$(cups lpadmin -p "$QUEUE" -E -v file:/dev/null -P "$ROOT/tools/printer-check.ppd" 2>&1 &&
    cups lpadmin -d "$QUEUE" 2>&1)" || fail "the queue could not be set up: $said"
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
