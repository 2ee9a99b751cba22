#!/usr/bin/env bash
# Crafted pictures on a business card: what opening the design and running the page view, the print
# check, the PNG export (150 DPI) and the print PDF cost the program, beside a plain decoder of the
# same file (heif-convert to raw YUV; Qt's reader for a PNG) and, for the PNG of many chunks, the
# same picture in one chunk.
#   bench/crafted_vs_decode.sh          (writes its files under TMPDIR, /dev/shm when unset: 1.4 GB)
# LW_BUILD_DIR picks the build whose programs run (its bin/ holds lw_crafted_pictures and the
# decode worker). Aim: no crafted picture costs much more than the plain decoder or the real
# picture of its size.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${LW_BUILD_DIR:-$ROOT/build}/bin"
for tool in heif-convert /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
export QT_QPA_PLATFORM=offscreen
OUT="$(mktemp -d "${TMPDIR:-/dev/shm}/crafted.XXXXXX")"
trap 'rm -rf "$OUT"' EXIT

# Wall seconds and peak resident MB of one run (a plain decoder may fail on a crafted file).
measure() {
    /usr/bin/time -f '%e %M' -o "$OUT/time" "$@" >"$OUT/said" 2>/dev/null || echo "  (failed: $1)" >&2
    awk '{printf "%8.2f s %7.0f MB", $1, $2 / 1024}' "$OUT/time"
}
row() { printf '%-34s %s\n' "$1" "$(measure "${@:2}")"; }

"$BIN/lw_crafted_pictures" make "$OUT" 2>/dev/null
for name in avif-av1c-padding avif-av1c-metadata heic-grid png-chunks png-onechunk png-private; do
    echo "== $name"
    row "ours: open, view, check, png, pdf" "$BIN/lw_crafted_pictures" uses "$OUT/$name.velkfolio"
    sed 's/^/      /' "$OUT/said"
    case "$name" in
    avif-* | heic-*) row "plain decode, heif-convert (y4m)" timeout 300 heif-convert "$OUT/$name.${name%%-*}" "$OUT/plain.y4m"
                     rm -f "$OUT"/plain*.y4m ;;
    png-*) row "plain decode, Qt's reader" "$BIN/lw_crafted_pictures" qtread "$OUT/$name.png" ;;
    esac
done
