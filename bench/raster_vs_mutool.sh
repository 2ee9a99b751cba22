#!/usr/bin/env bash
# Times our PNG/JPEG export of the flyer page against MuPDF (PNG) and poppler (JPEG) drawing our
# own PDF of that page, as whole processes, and prints the ratios.
#   bench/raster_vs_mutool.sh [RUNS]      (default 5; the median of the runs is used)
# The machine may be shared: repeat a run before trusting one figure.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${LW_BUILD_DIR:-$ROOT/build}/bin"
RUNS="${1:-5}"
for tool in mutool pdftoppm; do
    command -v "$tool" >/dev/null || { echo "missing $tool (tools/setup.sh installs it)" >&2; exit 2; }
done
[ -x "$BIN/lw_export_page" ] || { echo "missing $BIN/lw_export_page: build first" >&2; exit 2; }
export QT_QPA_PLATFORM=offscreen
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT

"$BIN/lw_export_page" design "$OUT/flyer.velkfolio"
"$BIN/lw_export_page" pdf "$OUT/flyer.velkfolio" "$OUT/flyer.pdf"

# Median wall time in milliseconds of RUNS runs of the command.
median_ms() {
    local times=()
    for ((i = 0; i < RUNS; i++)); do
        local t0 t1
        t0=$(date +%s%N)
        "$@" >/dev/null 2>&1
        t1=$(date +%s%N)
        times+=($(((t1 - t0) / 1000000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'
}

printf '%-5s %-5s %10s %10s %8s %12s\n' dpi type ours_ms theirs_ms ratio ours_bytes
for dpi in 300 600; do
    ours=$(median_ms "$BIN/lw_export_page" png "$OUT/flyer.velkfolio" "$dpi" "$OUT/ours.png")
    theirs=$(median_ms mutool draw -q -r "$dpi" -o "$OUT/mutool.png" "$OUT/flyer.pdf" 1)
    printf '%-5s %-5s %10s %10s %8.3f %12s   (vs mutool draw)\n' "$dpi" png "$ours" "$theirs" \
        "$(awk "BEGIN {print $ours / $theirs}")" "$(stat -c %s "$OUT/ours.png")"
    ours=$(median_ms "$BIN/lw_export_page" jpeg "$OUT/flyer.velkfolio" "$dpi" "$OUT/ours.jpg")
    theirs=$(median_ms pdftoppm -jpeg -r "$dpi" -singlefile "$OUT/flyer.pdf" "$OUT/poppler")
    printf '%-5s %-5s %10s %10s %8.3f %12s   (vs pdftoppm -jpeg)\n' "$dpi" jpeg "$ours" "$theirs" \
        "$(awk "BEGIN {print $ours / $theirs}")" "$(stat -c %s "$OUT/ours.jpg")"
done
