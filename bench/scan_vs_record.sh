#!/usr/bin/env bash
# Times a scan of a folder of 100,000 small files through the scan procedure, with its progress window
# (offscreen), against recording the same folder with `ktb record`, and prints the medians and the
# ratio scan/record (the goal: at most 1.2). Both record into a new catalog each run, on disk, and sync
# it before they report success (the syncs' time is printed apart); the folder is read from the page
# cache.
#
#   bench/scan_vs_record.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/file_tree.sh

build=${1:-build-bench}
runs=${RUNS:-10}
files=${FILES:-100000}
out=bench/out
mkdir -p "$out"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target scan_bench ktb >/dev/null

folder=$out/scan-$files-files
make_file_tree "$folder" "$files"

work=$(mktemp -d -p "${BENCH_DISK_FOLDER:-$PWD/bench/out}")
trap 'rm -rf "$work"' EXIT
scan="$build/bench/scan_bench $folder $work/scan.ktb"
record="$build/ktb record $work/record.ktb $folder"

compare_commands "ScanDisc with its window" "$scan" true "ktb record" "$record" "rm -f $work/record.ktb" \
    "ratio scan/record" "$out/scan_vs_record.json"
echo "scan's syncs: $(sync_time "$scan" "rm -f $work/scan.ktb")"
echo "ktb record's syncs: $(sync_time "$record" "rm -f $work/record.ktb")"
