# Sourced by ./test, tools/setup.sh and tools/sanitizers.sh: `stage NAME command...` runs the
# command and prints how long it took, so a slow stage shows in every CI log. With LW_STAGE_LOG
# set (./test sets it) the line also goes there for ./test's closing summary.
stage() {
    local name="$1" start=$SECONDS status=0
    shift
    # In a subshell of its own, so that `set -e` still stops the stage at its first failure.
    set +e
    (set -e; "$@")
    status=$?
    set -e
    local took=$((SECONDS - start)) result=""
    [ "$status" -eq 0 ] || result=" (failed)"
    local line
    line="$(printf '%-16s %3dm%02ds%s' "$name" $((took / 60)) $((took % 60)) "$result")"
    echo "== stage $line"
    if [ -n "${LW_STAGE_LOG:-}" ]; then echo "$line" >>"$LW_STAGE_LOG"; fi
    return "$status"
}
