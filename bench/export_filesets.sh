#!/usr/bin/env bash
# Times `ktb export --format csv` of the ten synthetic filesets of 1,000,000 files each (about 310 MB,
# the data of bench/search_filesets.sh) against `LC_ALL=C grep -c -a -i -F mp3` over the same files.
# Runs are paired (alternating order), both read the catalogs from the page cache and write into a
# pipe, so the figure is the export's own speed. Prints the median times and the ratio export/grep
# (goal: at most 10), then one export to a file on disk (written under a temporary name, synced and
# renamed) with its time, and the peak memory of an export and of the import of its JSON (ten million
# entries) above the idle program (goal: under 64 MB whatever the size).
#
#   bench/export_filesets.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
#   RUNS=11 sets the number of pairs; DATA=folder names the filesets (default bench/out/filesets-10x1m,
#   made by make_filesets when missing); SCRATCH=folder holds the files written (default bench/out).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-11}
data=${DATA:-bench/out/filesets-10x1m}
scratch=${SCRATCH:-bench/out}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target ktb make_filesets export_filesets >/dev/null

if [ ! -f "$data/Bench - Fileset9.ktb" ]; then
    mkdir -p "$data"
    "$build/bench/make_filesets" "$data" 10 1000000
fi
mkdir -p "$scratch"
files=("$data"/*.ktb)
cat "${files[@]}" >/dev/null # into the page cache
ktb=$build/ktb

. bench/timing.sh

"$ktb" export --format csv "$data" | cat >/dev/null # warm-up
ours=()
theirs=()
for i in $(seq "$runs"); do
    if ((i % 2)); then
        ours+=("$(seconds "$ktb" export --format csv "$data")")
        theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F mp3 "${files[@]}")")
    else
        theirs+=("$(seconds env LC_ALL=C grep -c -a -i -F mp3 "${files[@]}")")
        ours+=("$(seconds "$ktb" export --format csv "$data")")
    fi
done
a=$(printf '%s\n' "${ours[@]}" | median)
b=$(printf '%s\n' "${theirs[@]}" | median)
echo "CSV export of $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs paired runs, $(nproc) cores"
printf 'ktb export %6.3f s  grep %6.3f s  ratio %5.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"

csv=$scratch/export-bench.csv
rm -f "$csv"
printf 'to a file on disk, synced: %6.3f s, ' "$(seconds "$ktb" export --format csv --output "$csv" "$data")"
echo "$(du -h "$csv" | cut -f1) ($(du -b "$csv" | cut -f1) bytes; catalogs $(du -cb "${files[@]}" | tail -1 | cut -f1) bytes)"
rm -f "$csv"

echo "Memory of the CSV export (folders, files; then the memory line):"
"$build/bench/export_filesets" export csv "$data" "$csv"
rm -f "$csv"
json=$scratch/export-bench.json
echo "Memory of the JSON export and of its import into a new catalog (discs; then the memory line):"
"$build/bench/export_filesets" export json "$data" "$json"
rm -f "$scratch/export-bench.ktb"
"$build/bench/export_filesets" import "$json" "$scratch/export-bench.ktb"
rm -f "$json" "$scratch/export-bench.ktb"
