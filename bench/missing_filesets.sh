#!/usr/bin/env bash
# Times `ktb missing` of a local folder of 100,000 files against the ten synthetic filesets of
# 1,000,000 files each (bench/search_filesets.sh's data) against the sum of what its two parts cost
# on their own: `find DIR -printf '%f %s %T@\n'` over the folder and `ktb stats` over the filesets.
# Runs are paired, everything read from the page cache. Prints the median times and the ratio
# missing/(find + stats) (goal: at most 2.0), then the peak memory of the task above the idle program.
#
#   bench/missing_filesets.sh [BUILD-DIR]   (default build-bench, configured as Release if missing)
#   RUNS sets the number of runs; DATA=folder names the filesets (default bench/out/filesets-10x1m).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/file_tree.sh

build=${1:-build-bench}
runs=${RUNS:-7}
data=${DATA:-bench/out/filesets-10x1m}
folder=bench/out/scan-100000-files

. bench/timing.sh
filesets_ready "$build" "$data" compare_filesets
mkdir -p bench/out
make_file_tree "$folder" 100000
files=("$data"/*.ktb)
cat "${files[@]}" >/dev/null # into the page cache
find "$folder" >/dev/null
ktb=$build/ktb

"$ktb" missing "$folder" "$data" | cat >/dev/null || true # warm-up; 1: files are missing
ours=()
finds=()
stats=()
for i in $(seq "$runs"); do
    if ((i % 2)); then
        ours+=("$(seconds "$ktb" missing "$folder" "$data")")
        finds+=("$(seconds find "$folder" -printf '%f %s %T@\n')")
        stats+=("$(seconds "$ktb" stats "$data")")
    else
        stats+=("$(seconds "$ktb" stats "$data")")
        finds+=("$(seconds find "$folder" -printf '%f %s %T@\n')")
        ours+=("$(seconds "$ktb" missing "$folder" "$data")")
    fi
done
a=$(printf '%s\n' "${ours[@]}" | median)
f=$(printf '%s\n' "${finds[@]}" | median)
s=$(printf '%s\n' "${stats[@]}" | median)
echo "Not on any disc: 100,000 local files against $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs runs, $(nproc) cores"
printf 'ktb missing %6.3f s  find %6.3f s + ktb stats %6.3f s  ratio %5.2f\n' "$a" "$f" "$s" \
    "$(echo "$a / ($f + $s)" | bc -l)"
echo "Memory of the task:"
"$build/bench/compare_filesets" missing "$folder" "$data" || true
