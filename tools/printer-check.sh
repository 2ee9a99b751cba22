#!/usr/bin/env bash
# The print step of ./test: the app folder's tests once more beside a real CUPS scheduler whose
# default queue is a PDF printer (cups-pdf), as on a desktop that prints. The scheduler is the
# step's own: its files and its only socket in a temporary folder, no network port, seen by this
# run alone (through CUPS_SERVER). Every test must pass and nothing may reach the queue: no job,
# finished or not, and no new file in cups-pdf's output folders. Where the scheduler cannot start,
# the step says so and ends without failing.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LW_BUILD_DIR:-$ROOT/build}"
CUPSD=/usr/sbin/cupsd
PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
QUEUE=lw-check-pdf

skip() {
    echo "Print step skipped: $*"
    exit 0
}
[ -x "$CUPSD" ] && [ -f "$PPD" ] && [ -e /usr/lib/cups/backend/cups-pdf ] ||
    skip "cupsd or cups-pdf is not installed (packages cups, printer-driver-cups-pdf)"

work="$(mktemp -d)"
pid=""
finish() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap finish EXIT
# The scheduler's filters run as its own user, who must reach the spool and temporary folders.
chmod 755 "$work"
mkdir -p "$work"/{conf/ppd,spool/tmp,cache,state,log}
export CUPS_SERVER="$work/cups.sock"
cat >"$work/conf/cupsd.conf" <<EOF
Listen $CUPS_SERVER
Browsing No
LogLevel warn
WebInterface No
DefaultAuthType None
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
cat >"$work/conf/cups-files.conf" <<EOF
ServerRoot $work/conf
RequestRoot $work/spool
TempDir $work/spool/tmp
CacheDir $work/cache
StateDir $work/state
ErrorLog $work/log/error_log
AccessLog $work/log/access_log
PageLog $work/log/page_log
EOF
"$CUPSD" -f -c "$work/conf/cupsd.conf" -s "$work/conf/cups-files.conf" >"$work/log/cupsd.out" 2>&1 &
pid=$!
running() { [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ]; }
for _ in $(seq 100); do
    running && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if ! running; then
    cat "$work/log/cupsd.out" "$work/log/error_log" 2>/dev/null | tail -n 5 || true
    skip "the CUPS scheduler did not start here"
fi
# lpadmin warns that PPD files are deprecated: shown only when it fails.
if ! said="$(lpadmin -p "$QUEUE" -E -v cups-pdf:/ -P "$PPD" 2>&1 && lpadmin -d "$QUEUE" 2>&1)" ||
    [ "$(lpstat -d)" != "system default destination: $QUEUE" ]; then
    echo "$said"
    skip "the PDF queue could not be set up"
fi
echo "CUPS scheduler at $CUPS_SERVER, default queue $QUEUE (cups-pdf)"

# cups-pdf's output folders: its defaults (the user's and the anonymous one) and what its
# configuration names.
outs=("${HOME:-/root}/PDF" /var/spool/cups-pdf)
if [ -f /etc/cups/cups-pdf.conf ]; then
    while read -r key value; do
        case "$key" in Out | AnonDirName) outs+=("${value//\$\{HOME\}/${HOME:-/root}}") ;; esac
    done </etc/cups/cups-pdf.conf
fi
stamp="$work/stamp"
touch "$stamp"
status=0
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD" -L '^app$' --output-on-failure --parallel "$(nproc)" ||
    status=1
if ! jobs="$(lpstat -W all -o "$QUEUE" 2>&1)"; then
    echo "The scheduler could not list its jobs: $jobs" >&2
    status=1
elif [ -n "$jobs" ]; then
    echo "Jobs reached the queue:" >&2
    echo "$jobs" >&2
    status=1
fi
for out in "${outs[@]}"; do
    [ -d "$out" ] || continue
    made="$(find "$out" -type f -newer "$stamp")"
    if [ -n "$made" ]; then
        echo "Files printed by cups-pdf:" >&2
        echo "$made" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "Every app test passed beside the scheduler; nothing reached the queue."
exit "$status"
