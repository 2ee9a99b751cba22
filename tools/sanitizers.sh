#!/usr/bin/env bash
# The fuzz and sanitizer step of ./test: builds the tree with clang, ASan and UBSan (build-fuzz),
# runs the model and render tests once more under the sanitizers, then runs each fuzz target for a
# fixed number of runs over its seed corpus and the hostile inputs the suite replays. Any crash,
# leak, hang or sanitizer report fails the step, but for a fault wholly inside a decoder library
# that only the sandboxed decode worker runs (tools/containedfault.sh): that one is reported with its
# input, and the target fuzzes on for the runs left. A fuzz failure prints the input's path.
# LW_FUZZ_SEED (1 unless set) seeds the fuzzing.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LW_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
# Runs per target (about 10 s each on one core; they run side by side); LW_FUZZ_RUNS sets all.
declare -A RUNS=([fuzz_documentio]="${LW_FUZZ_RUNS:-100000}" [fuzz_render]="${LW_FUZZ_RUNS:-20000}"
                 [fuzz_elements]="${LW_FUZZ_RUNS:-50000}" [fuzz_pictures]="${LW_FUZZ_RUNS:-30000}")
# Seeds per target: design files, element lists as copy leaves them on the pasteboard, or pictures.
declare -A SEEDS=([fuzz_documentio]="tests/fuzz/corpus tests/data/documentio"
                  [fuzz_render]="tests/fuzz/corpus tests/data/documentio"
                  [fuzz_elements]="tests/fuzz/elements" [fuzz_pictures]="tests/fuzz/pictures")
declare -A DICTS=([fuzz_documentio]=documentio.dict [fuzz_render]=documentio.dict
                  [fuzz_elements]=documentio.dict [fuzz_pictures]=pictures.dict)

if [ "${LW_NO_FUZZ:-}" = 1 ]; then
    echo "Fuzz and sanitizer step skipped (LW_NO_FUZZ=1)."
    exit 0
fi

# shellcheck source=stages.sh
source "$ROOT/tools/stages.sh"

build() {
    if [ ! -f "$BUILD/build.ninja" ]; then
        CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DLW_FUZZ=ON -DLW_BUILD_BENCH=OFF
    fi
    cmake --build "$BUILD" --parallel "$(nproc)"
}
stage "sanitizer build" build

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$ROOT/tools/lsan.supp"
echo "Every test again under ASan and UBSan:"
stage "sanitizer suite" ctest --test-dir "$BUILD" --output-on-failure --parallel "$(nproc)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
seeds_of() {
    local dir
    for dir in ${SEEDS[$1]}; do echo "$ROOT/$dir"; done
}

# The target's seed folders (in `seeds`) again, copied without any file holding `input`'s bytes.
without_seed() {
    local target="$1" input="$2" round="$3" dir file copy found="" i=0
    local -a kept=()
    for dir in "${seeds[@]}"; do
        while read -r file; do cmp -s "$file" "$input" && found=1; done < <(find "$dir" -type f)
    done
    [ -n "$found" ] || return 0
    for dir in "${seeds[@]}"; do
        copy="$work/$target-seeds-$round-$i"
        cp -r "$dir" "$copy"
        while read -r file; do cmp -s "$file" "$input" && rm -f "$file"; done < <(find "$copy" -type f)
        kept+=("$copy")
        i=$((i + 1))
    done
    seeds=("${kept[@]}")
}

# Whether the fault in <target>'s log on <input> is one the decode worker contains. A use after free
# is judged from the input run again with every free unwound in full: the runs' fast unwinder stops
# inside the libraries, hiding whether our code asked for the free. Its report joins the log. The
# stacks are kept to the most frames the sanitizer allows: one cut off inside the library is ours.
contained() {
    local target="$1" input="$2" log="$work/$1.unwound.log"
    if ! grep -q 'ERROR: AddressSanitizer: heap-use-after-free' "$work/$target.log"; then
        "$ROOT/tools/containedfault.sh" "$work/$target.log"
        return
    fi
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0:malloc_context_size=255" \
        "$BUILD/bin/$target" -timeout=10 -rss_limit_mb=4096 "$input" >"$log" 2>&1 || true
    "$ROOT/tools/containedfault.sh" "$log" && return
    {
        echo "$target run again on $input, every free unwound in full:"
        if grep -q 'ERROR: ' "$log"; then sed -n '/ERROR: /,/^SUMMARY: /p' "$log"; else tail -n 20 "$log"; fi
    } >>"$work/$target.log"
    return 1
}

# One target, its last output in $work/<target>.log, its exit status in $work/<target>.status and
# the inputs of its contained faults in $work/<target>.contained. A contained fault ends libFuzzer's
# run: the target runs again on the corpus it grew, with another seed, for the runs left.
fuzz_one() {
    local target="$1" status=0 left="${RUNS[$target]}" round=0 ran input
    local artifacts="$BUILD/fuzz-artifacts/$target"
    local seeds
    mapfile -t seeds < <(seeds_of "$target")
    rm -rf "$artifacts" "$artifacts-contained"
    mkdir -p "$artifacts" "$artifacts-contained" "$work/$target"
    : >"$work/$target.contained"
    while :; do
        status=0
        # New inputs go to the scratch corpus (first directory), never into the repository.
        "$BUILD/bin/$target" -runs="$left" -seed="$((${LW_FUZZ_SEED:-1} + 1000 * round))" -timeout=10 \
            -rss_limit_mb=4096 -print_final_stats=1 -dict="$ROOT/tests/fuzz/${DICTS[$target]}" \
            -artifact_prefix="$artifacts/" "$work/$target" "${seeds[@]}" >"$work/$target.log" 2>&1 ||
            status=$?
        input="$(find "$artifacts" -type f | head -n 1)"
        [ "$status" != 0 ] && [ -n "$input" ] && [ "$round" -lt 8 ] &&
            contained "$target" "$input" || break
        # A seed that faults so is left out of the runs after (copies of the seed folders).
        without_seed "$target" "$input" "$round"
        mv "$input" "$artifacts-contained/$round-$(basename "$input")"
        echo "$artifacts-contained/$round-$(basename "$input")" >>"$work/$target.contained"
        grep -E '^SUMMARY: ' "$work/$target.log" >>"$work/$target.contained" || true
        ran="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log" | tail -n 1)"
        left=$((left - ${ran:-0}))
        round=$((round + 1))
        if [ "$left" -le 0 ]; then status=0; break; fi
    done
    echo "$status" >"$work/$target.status"
}
# The contained faults a target met: each input, and whether it is a kept case.
report_contained() {
    local target="$1" line kept known
    while read -r line; do
        case "$line" in
        SUMMARY:*) echo "  $line" ;;
        *)
            known=""
            for kept in "$ROOT"/tests/fuzz/contained/*; do
                if cmp -s "$line" "$kept"; then known="${kept#"$ROOT"/}"; fi
            done
            echo "$target met a fault inside a decoder library the decode worker contains, on input: $line"
            if [ -n "$known" ]; then
                echo "  (the kept case $known)"
            else
                echo "  (new: keep it in tests/fuzz/contained/, which test_picture_hostile replays)"
            fi
            ;;
        esac
    done <"$work/$target.contained"
}
TARGETS=(fuzz_documentio fuzz_render fuzz_elements fuzz_pictures)
# The targets run side by side (each uses one core), then each reports in turn.
fuzz() {
    local status=0 target input dir seed
    for target in "${TARGETS[@]}"; do
        echo "$target: ${RUNS[$target]} runs over ${SEEDS[$target]}"
        fuzz_one "$target" &
    done
    wait
    for target in "${TARGETS[@]}"; do
        local artifacts="$BUILD/fuzz-artifacts/$target"
        if [ "$(cat "$work/$target.status" 2>/dev/null || echo 1)" != 0 ]; then
            status=1
            # A use after free judged ours again unwound shows that report whole: its free made it ours.
            if grep -q "^$target run again on " "$work/$target.log"; then
                sed -n "/^$target run again on /,\$p" "$work/$target.log" >&2
            else
                grep -v -E '^#[0-9]+|^(INFO|MERGE)' "$work/$target.log" | tail -n 60 >&2 || true
            fi
            for input in "$artifacts"/*; do
                [ -e "$input" ] || continue
                echo "$target FAILED on input: $input" >&2
                while read -r dir; do
                    for seed in "$dir"/*; do
                        if cmp -s "$input" "$seed"; then echo "  (the same bytes as $seed)" >&2; fi
                    done
                done < <(seeds_of "$target")
            done
            [ -n "$(ls -A "$artifacts")" ] || echo "$target FAILED without writing its input (see the log above)" >&2
        else
            echo "$target: $(grep -E '^Done [0-9]+ runs' "$work/$target.log" || echo done)"
        fi
        report_contained "$target"
    done
    return "$status"
}
stage fuzz fuzz
