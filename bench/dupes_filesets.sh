#!/usr/bin/env bash
# Times `ktb dupes` (files of the same size and name across the filesets, walked on every core) against
# `LC_ALL=C grep -c -a -i -F mp3` (one core) over the same files: the ten synthetic filesets of
# 1,000,000 files each that bench/search_filesets.sh uses. Runs are paired as in stats_filesets.sh.
# Prints the median times and the ratio dupes/grep (goal: at most 10), then the peak memory of the task
# above the idle program and per file (goal: under 48 bytes a file).
#
#   bench/dupes_filesets.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
#   RUNS sets the number of pairs; DATA=folder names the filesets (default bench/out/filesets-10x1m,
#   made by make_filesets when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-7}
data=${DATA:-bench/out/filesets-10x1m}

. bench/timing.sh
filesets_ready "$build" "$data" compare_filesets
files=("$data"/*.ktb)
cat "${files[@]}" >/dev/null # into the page cache
ktb=$build/ktb

"$ktb" dupes "$data" | cat >/dev/null || true # warm-up; 1: duplicates were found
ours=()
theirs=()
for i in $(seq "$runs"); do
    if ((i % 2)); then
        ours+=("$(seconds "$ktb" dupes "$data")")
        theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F mp3 "${files[@]}")")
    else
        theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F mp3 "${files[@]}")")
        ours+=("$(seconds "$ktb" dupes "$data")")
    fi
done
a=$(printf '%s\n' "${ours[@]}" | median)
b=$(printf '%s\n' "${theirs[@]}" | median)
echo "Duplicates of $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs paired runs, $(nproc) cores"
printf 'ktb dupes %6.3f s  grep %6.3f s  ratio %5.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"
echo "Memory of the task:"
"$build/bench/compare_filesets" dupes "$data"
