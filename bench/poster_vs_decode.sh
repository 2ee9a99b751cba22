#!/usr/bin/env bash
# The 36 x 24 in poster with a 200-megapixel JPEG and with a 48-megapixel HEIC, exported as a
# 600-DPI PNG by the program (a whole process, as the export sheet writes it): wall time and peak
# memory, against a plain decode of the same photo (djpeg and Pillow; heif-convert to raw YUV),
# against MuPDF drawing our PDF of the page at 600 DPI, and beside the empty poster's PNG.
#   bench/poster_vs_decode.sh            (writes its files under TMPDIR, /dev/shm when unset)
# Aim: ours within twice the plain decode plus the empty poster's time.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${LW_BUILD_DIR:-$ROOT/build}/bin"
for tool in mutool djpeg heif-convert /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
export QT_QPA_PLATFORM=offscreen
OUT="$(mktemp -d "${TMPDIR:-/dev/shm}/poster.XXXXXX")"
trap 'rm -rf "$OUT"' EXIT

# Wall seconds and peak resident MB of one run.
measure() {
    /usr/bin/time -f '%e %M' -o "$OUT/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    awk '{printf "%8.2f s %7.0f MB", $1, $2 / 1024}' "$OUT/time"
}
row() { printf '%-34s %s\n' "$1" "$(measure "${@:2}")"; }

"$BIN/lw_poster_photo" empty "$OUT/empty.velkfolio"
row "empty poster, png 600" "$BIN/lw_export_page" png "$OUT/empty.velkfolio" 600 "$OUT/ours.png"
for photo in jpeg200 heic48; do
    ext=jpg; [ "$photo" = heic48 ] && ext=heic
    "$BIN/lw_poster_photo" "$photo" "$OUT/$photo.velkfolio" "$OUT/photo.$ext"
    echo "== $photo"
    row "ours, png 600" "$BIN/lw_export_page" png "$OUT/$photo.velkfolio" 600 "$OUT/ours.png"
    row "ours, png 300" "$BIN/lw_export_page" png "$OUT/$photo.velkfolio" 300 "$OUT/ours.png"
    if [ "$ext" = jpg ]; then
        row "plain decode, djpeg" djpeg -outfile /dev/null "$OUT/photo.jpg"
        if /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
            row "plain decode, Pillow" /usr/bin/python3 -c \
                'import sys; from PIL import Image; Image.MAX_IMAGE_PIXELS = None; Image.open(sys.argv[1]).load()' \
                "$OUT/photo.jpg"
        fi
    else
        row "plain decode, heif-convert (y4m)" heif-convert "$OUT/photo.heic" "$OUT/photo.y4m"
        rm -f "$OUT/photo.y4m"
    fi
    "$BIN/lw_export_page" pdf "$OUT/$photo.velkfolio" "$OUT/ours.pdf"
    row "mutool draw of our pdf, png 600" mutool draw -q -r 600 -o "$OUT/mutool.png" "$OUT/ours.pdf" 1
    rm -f "$OUT/mutool.png" "$OUT/ours.png" "$OUT/photo.$ext"
done
