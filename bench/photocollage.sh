#!/bin/sh
# Collages of 40 and 100 distinct 12-megapixel photos opened in the page view at the window's
# first zoom, on one core and on four: time until all are drawn, decodes, peak memory and the CPU
# of the program and its decode workers over the 30 s after. Run from the build folder:
#   sh ../bench/photocollage.sh [BINARY]   (BINARY: another build's lw_bench_photocollage, to compare)
set -e
bin=${1:-./bin/lw_bench_photocollage}
dir=${TMPDIR:-/tmp}/lw-photocollage
mkdir -p "$dir"
for n in 40 100; do
    [ -f "$dir/c$n.velkfolio" ] || ./bin/lw_bench_photocollage make "$dir/c$n.velkfolio" $n
done
for cores in 0 0-3; do
    for n in 40 100; do
        printf 'cores %s: ' "$cores"
        taskset -c "$cores" "$bin" run "$dir/c$n.velkfolio" 0.87 30 || true
    done
done
