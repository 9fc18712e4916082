#!/usr/bin/env bash
# Times a scan of a folder of 100,000 small files through the scan procedure, with its progress window
# (offscreen), against recording the same folder with `ktb record`, and prints the medians and the
# ratio scan/record (the goal: at most 1.2). Both record into a new catalog each run; the folder is read
# from the page cache.
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

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scan="$build/bench/scan_bench $folder $work/scan.ktb"
record="$build/ktb record $work/record.ktb $folder"

time_runs() { # seconds of each of $runs runs of the command, one a line (after one warm-up run)
    rm -f "$work/record.ktb"
    $1 >/dev/null
    for _ in $(seq "$runs"); do
        local start end
        rm -f "$work/record.ktb"
        start=$(date +%s.%N)
        $1 >/dev/null
        end=$(date +%s.%N)
        echo "$end - $start" | bc -l
    done
}

if command -v hyperfine >/dev/null 2>&1; then
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$out/scan_vs_record.json" \
        --prepare true "$scan" --prepare "rm -f $work/record.ktb" "$record" >/dev/null
    read -r scanTime recordTime < <(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(results[0]["median"], results[1]["median"])' "$out/scan_vs_record.json")
else
    scanTime=$(time_runs "$scan" | median)
    recordTime=$(time_runs "$record" | median)
fi
printf '%-28s %10s\n' "$files files" "median (ms)"
printf '%-28s %10.1f\n' "ScanDisc with its window" "$(echo "$scanTime * 1000" | bc -l)"
printf '%-28s %10.1f\n' "ktb record" "$(echo "$recordTime * 1000" | bc -l)"
printf '%-28s %10.2f\n' "ratio scan/record" "$(echo "$scanTime / $recordTime" | bc -l)"
