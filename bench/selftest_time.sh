#!/usr/bin/env bash
# Times "leafwrighter --selftest" as a whole process pinned to two cores (taskset -c 0,1), and each
# group from the arrival of its "== " title line to the next title (the last to the "Time:" line).
#   bench/selftest_time.sh        (after a build; LW_BUILD_DIR picks another build folder)
# Exits 1 when the whole run takes 60 s or more. The machine may be shared: repeat a run before
# trusting one figure.
set -euo pipefail
export LC_ALL=C # EPOCHREALTIME with a decimal point
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${LW_BUILD_DIR:-$ROOT/build}/bin"
BUDGET=60
command -v taskset >/dev/null || { echo "missing taskset (util-linux)" >&2; exit 2; }
[ -x "$BIN/leafwrighter" ] || { echo "missing $BIN/leafwrighter: build first" >&2; exit 2; }
export QT_QPA_PLATFORM=offscreen

seconds() { awk "BEGIN {printf \"%.2f\", $2 - $1}"; }

start=$EPOCHREALTIME
title="" since="" result="(no result line)" code=""
while IFS= read -r line; do
    now=$EPOCHREALTIME
    case "$line" in
    "== "* | "Time: "*)
        [ -z "$title" ] || printf '%8s s  %s\n' "$(seconds "$since" "$now")" "$title"
        title="${line#== }" since=$now
        [[ "$line" != "Time: "* ]] || title=""
        ;;
    "RESULT: "*) result=$line ;;
    "exit "*) code=${line#exit } ;;
    esac
done < <(
    status=0
    taskset -c 0,1 "$BIN/leafwrighter" --selftest 2>/dev/null || status=$?
    echo "exit $status"
)
total=$(seconds "$start" "$EPOCHREALTIME")
printf '%8s s  whole process (%s, exit %s)\n' "$total" "$result" "$code"
if awk "BEGIN {exit !($total >= $BUDGET)}"; then
    echo "over the budget of $BUDGET s" >&2
    exit 1
fi
