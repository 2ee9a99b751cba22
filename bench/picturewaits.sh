#!/bin/sh
# Opening the six-photo flyer in the page view, on 2 and on 8 cores, as the view draws now and as
# it drew while it waited for pictures. Run from the build folder: sh ../bench/picturewaits.sh
set -e
for cores in 0-1 0-7; do
    for mode in waiting view; do
        printf 'cores %s, ' "$cores"
        taskset -c "$cores" ./bin/lw_bench_picturewaits "$mode"
    done
done
