#!/usr/bin/env bash
# Times the program's search (CatalogSearch over a registry of one folder, run by search_filesets)
# against `LC_ALL=C grep -c -a -i -F PATTERN` over the same files: ten synthetic filesets of 1,000,000
# files each (about 310 MB), a rare pattern (about 0.06 % of the names) and a common one (about 10 %).
# Runs are paired (the two commands one after the other, in alternating order) and both read the
# files from the page cache; output goes to a pipe, since GNU grep stops at the first match when its
# output is /dev/null. Prints the median times and the ratio search/grep (goals: at most 1.0 for the
# rare pattern, 1.5 for the common one), then the peak memory of a search that keeps 50,000 results
# above the idle program (goal: under 40 MB).
#
#   bench/search_filesets.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
#   RUNS=15 sets the number of pairs; DATA=folder puts the filesets elsewhere (default bench/out).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-11}
data=${DATA:-bench/out/filesets-10x1m}
rare=quetzal
common=mp3

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target make_filesets search_filesets >/dev/null
search=$build/bench/search_filesets

if [ ! -f "$data/Bench - Fileset9.ktb" ]; then
    mkdir -p "$data"
    "$build/bench/make_filesets" "$data" 10 1000000
fi
files=("$data"/*.ktb)
cat "${files[@]}" >/dev/null # into the page cache

. bench/timing.sh

compare() { # pattern: paired runs, then the medians and their ratio
    local pattern=$1 ours=() theirs=() i
    "$search" "$data" "$pattern" | cat >/dev/null || true # warm-up
    for i in $(seq "$runs"); do
        if ((i % 2)); then
            ours+=("$(seconds "$search" "$data" "$pattern")")
            theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F "$pattern" "${files[@]}")")
        else
            theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F "$pattern" "${files[@]}")")
            ours+=("$(seconds "$search" "$data" "$pattern")")
        fi
    done
    local a b
    a=$(printf '%s\n' "${ours[@]}" | median)
    b=$(printf '%s\n' "${theirs[@]}" | median)
    local counts
    counts=$("$search" "$data" "$pattern" || true)
    printf '%-8s %-8s search %6.3f s  grep %6.3f s  ratio %5.2f  (file matches, folder matches, kept, discs: %s)\n' \
        "$2" "$pattern" "$a" "$b" "$(echo "$a / $b" | bc -l)" "$counts"
}

echo "Search over $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs paired runs, $(nproc) cores"
compare "$rare" rare
compare "$common" common
echo "Memory of a search that keeps 50,000 results ($common):"
"$search" --memory "$data" "$common" | tail -n 1
