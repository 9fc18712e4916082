#!/usr/bin/env bash
# Times `ktb stats` (the statistics of the statistics window, walked on every core) against
# `LC_ALL=C grep -c -a -i -F mp3` (one core) over the same files: the ten synthetic filesets of
# 1,000,000 files each that bench/search_filesets.sh uses (about 310 MB). Runs are paired (the two
# commands one after the other, in alternating order), both read the files from the page cache, and
# both write into a pipe (GNU grep stops at the first match when its output is /dev/null). Prints the
# median times and the ratio stats/grep (goal: at most 2.0), then the peak memory of the walk above the
# idle program, measured inside the process as search_filesets measures it (goal: under 64 MB).
#
#   bench/stats_filesets.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
#   RUNS=15 sets the number of pairs; DATA=folder names the filesets (default bench/out/filesets-10x1m,
#   made by make_filesets when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-11}
data=${DATA:-bench/out/filesets-10x1m}

. bench/timing.sh
filesets_ready "$build" "$data" stats_filesets
files=("$data"/*.ktb)
cat "${files[@]}" >/dev/null # into the page cache
ktb=$build/ktb

"$ktb" stats "$data" | cat >/dev/null # warm-up
ours=()
theirs=()
for i in $(seq "$runs"); do
    if ((i % 2)); then
        ours+=("$(seconds "$ktb" stats "$data")")
        theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F mp3 "${files[@]}")")
    else
        theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F mp3 "${files[@]}")")
        ours+=("$(seconds "$ktb" stats "$data")")
    fi
done
a=$(printf '%s\n' "${ours[@]}" | median)
b=$(printf '%s\n' "${theirs[@]}" | median)
echo "Statistics of $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs paired runs, $(nproc) cores"
printf 'ktb stats %6.3f s  grep %6.3f s  ratio %5.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"
echo "Memory of the walk (files, bytes, discs; then the memory line):"
"$build/bench/stats_filesets" "$data"
