# shellcheck shell=bash
# Sourced (bash): a CUPS scheduler of the caller's own, never the system's. Its files and its only
# socket are in a temporary folder, no network port, run as whoever runs the caller. Its queues
# write to /dev/null, the one file device every scheduler allows, so no backend (cups-pdf's is
# root's only) and no filter is needed. The caller's CUPS client sees this scheduler alone:
# CUPS_SERVER names its socket, and a home and server root of its own, with PRINTER and LPDEST
# unset, keep the user's defaults (~/.cups/lpoptions, /etc/cups/lpoptions) out.
# Needs ROOT and BUILD. The caller ends it with `trap cupsd_stop EXIT`.

# Where fetch_scheduler unpacks the scheduler when CUPS is not installed.
CUPSD_FETCHED="$BUILD/print-scheduler"
CUPSD="" cupsd_bins="" cupsd_libs="" cupsd_work="" cupsd_pid=""

# Sets CUPSD (and where its programs and libraries are); fails when there is none.
cupsd_find() {
    if [ -x /usr/sbin/cupsd ] && command -v lpadmin >/dev/null && command -v lpstat >/dev/null; then
        CUPSD=/usr/sbin/cupsd
    elif [ -x "$CUPSD_FETCHED/usr/sbin/cupsd" ]; then
        CUPSD="$CUPSD_FETCHED/usr/sbin/cupsd"
        cupsd_bins="$CUPSD_FETCHED/usr/sbin:$CUPSD_FETCHED/usr/bin:"
        cupsd_libs="$(find "$CUPSD_FETCHED" \( -name '*.so' -o -name '*.so.*' \) -printf '%h\n' | sort -u | paste -sd:)"
    else
        return 1
    fi
}

# The scheduler's programs with the libraries unpacked beside them; the caller keeps the system's.
cups() {
    PATH="$cupsd_bins$PATH" LD_LIBRARY_PATH="$cupsd_libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" LC_ALL=C "$@"
}

# Where CUPS is not installed: Debian's cups-daemon and cups-client, with what they need that this
# machine lacks, unpacked into the build folder and never installed. Installing them would start
# and enable a print service on the user's machine (and cups-pdf's install adds a queue to it);
# the callers need neither, as they run a scheduler of their own.
fetch_scheduler() {
    local dest="$CUPSD_FETCHED" sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    if { [ -x /usr/sbin/cupsd ] && command -v lpadmin && command -v lpstat; } >/dev/null ||
        [ -x "$dest/usr/sbin/cupsd" ]; then
        return 0
    fi
    echo "Unpacking a CUPS scheduler into $dest"
    # Both themselves and what installing them would bring (a simulation: nothing is installed).
    needed() {
        printf '%s\n' cups-daemon cups-client
        apt-get -s install --no-install-recommends cups-daemon cups-client | awk '$1 == "Inst" { print $2 }'
    }
    local names
    if ! names="$(needed)"; then
        $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
        names="$(needed)"
    fi
    names="$(sort -u <<<"$names")"
    local tmp deb
    mkdir -p "$BUILD"
    tmp="$(mktemp -d "$dest.XXXXXX")"
    # apt's download user cannot write to a folder of another user's; as root it says so.
    local sandbox=()
    if [ "$(id -u)" -eq 0 ]; then sandbox=(-o APT::Sandbox::User=root); fi
    # shellcheck disable=SC2086 # one package name a line
    (cd "$tmp" && apt-get -qq "${sandbox[@]}" download $names)
    for deb in "$tmp"/*.deb; do dpkg-deb -x "$deb" "$tmp/root"; done
    [ -x "$tmp/root/usr/sbin/cupsd" ] || { echo "cupsd was not in the packages: $names" >&2; return 1; }
    rm -rf "$dest"
    mv "$tmp/root" "$dest"
    rm -rf "$tmp"
}

# Starts CUPSD in a new temporary folder (cupsd_work) and waits until it answers; cupsd_pid is the
# scheduler itself. Fails when it does not answer within 30 s.
cupsd_start() {
    cupsd_work="$(mktemp -d)"
    # Run as root, the scheduler's helpers run as its own user, who must reach its folders.
    chmod 755 "$cupsd_work"
    mkdir -p "$cupsd_work"/{conf/ppd,spool/tmp,cache,state,log,home}
    export CUPS_SERVER="$cupsd_work/cups.sock" CUPS_SERVERROOT="$cupsd_work/conf" HOME="$cupsd_work/home"
    unset PRINTER LPDEST
    cat >"$cupsd_work/conf/cupsd.conf" <<EOF
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
        echo "ServerRoot $cupsd_work/conf"
        echo "RequestRoot $cupsd_work/spool"
        echo "TempDir $cupsd_work/spool/tmp"
        echo "CacheDir $cupsd_work/cache"
        echo "StateDir $cupsd_work/state"
        echo "ErrorLog $cupsd_work/log/error_log"
        echo "AccessLog $cupsd_work/log/access_log"
        echo "PageLog $cupsd_work/log/page_log"
        echo "SystemGroup $(id -gn)"
        if [ -n "$cupsd_libs" ]; then
            echo "ServerBin $CUPSD_FETCHED/usr/lib/cups"
            echo "DataDir $CUPSD_FETCHED/usr/share/cups"
        fi
    } >"$cupsd_work/conf/cups-files.conf"
    # Started directly, not through cups(): $! is then the scheduler itself, which cupsd_stop ends.
    LD_LIBRARY_PATH="$cupsd_libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
        "$CUPSD" -f -c "$cupsd_work/conf/cupsd.conf" -s "$cupsd_work/conf/cups-files.conf" \
        >"$cupsd_work/log/cupsd.out" 2>&1 &
    cupsd_pid=$!
    for _ in $(seq 300); do
        cupsd_running && return 0
        kill -0 "$cupsd_pid" 2>/dev/null || break
        sleep 0.1
    done
    cupsd_running
}

cupsd_running() { [ "$(cups lpstat -r 2>/dev/null)" = "scheduler is running" ]; }

# The default queue QUEUE, a colour PDF printer (tools/printer-check.ppd) writing to /dev/null.
# lpadmin warns that PPD files are deprecated: shown only when it fails.
cupsd_queue() {
    local said
    said="$(cups lpadmin -p "$1" -E -v file:/dev/null -P "$ROOT/tools/printer-check.ppd" 2>&1 &&
        cups lpadmin -d "$1" 2>&1)" || { echo "$said"; return 1; }
}

# The scheduler's last words, for a failure's message.
cupsd_log() { tail -n 5 "$cupsd_work/log/cupsd.out" "$cupsd_work/log/error_log" 2>/dev/null || true; }

# Ends the scheduler (woken first, should it be stopped) and removes its folder.
cupsd_stop() {
    if [ -n "$cupsd_pid" ]; then
        kill -CONT "$cupsd_pid" 2>/dev/null || true
        if kill "$cupsd_pid" 2>/dev/null; then wait "$cupsd_pid" 2>/dev/null || true; fi
    fi
    if [ -n "$cupsd_work" ]; then rm -rf "$cupsd_work"; fi
    cupsd_pid="" cupsd_work=""
}
