#!/usr/bin/env bash
# Times `ktb single` (the files held on one medium only, grouped by medium and listed) against
# `ktb dupes` over the same files: the ten synthetic filesets of 1,000,000 files each that
# bench/search_filesets.sh uses, where nearly every file is on one medium only, so `ktb single` lists all
# ten million. Runs are paired as in stats_filesets.sh. Prints the median times and the ratio
# single/dupes (goal: at most 2), then the peak memory of each task above the idle program and per file
# (goal: under 48 bytes a file).
#
#   bench/single_filesets.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
#   RUNS sets the number of pairs; DATA=folder names the filesets (default bench/out/filesets-10x1m,
#   made by make_filesets when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-5}
data=${DATA:-bench/out/filesets-10x1m}

. bench/timing.sh
filesets_ready "$build" "$data" compare_filesets
files=("$data"/*.ktb)
cat "${files[@]}" >/dev/null # into the page cache
ktb=$build/ktb

"$ktb" single "$data" | cat >/dev/null || true # warm-up; 1: single copies were found
ours=()
theirs=()
for i in $(seq "$runs"); do
    if ((i % 2)); then
        ours+=("$(seconds "$ktb" single "$data")")
        theirs+=("$(seconds "$ktb" dupes "$data")")
    else
        theirs+=("$(seconds "$ktb" dupes "$data")")
        ours+=("$(seconds "$ktb" single "$data")")
    fi
done
a=$(printf '%s\n' "${ours[@]}" | median)
b=$(printf '%s\n' "${theirs[@]}" | median)
echo "Single copies of $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs paired runs, $(nproc) cores"
printf 'ktb single %6.3f s  ktb dupes %6.3f s  ratio %5.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"
echo "Memory of the single-copy task (its listing included):"
"$build/bench/compare_filesets" single "$data"
echo "Memory of the duplicates task:"
"$build/bench/compare_filesets" dupes "$data"
