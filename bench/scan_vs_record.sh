#!/usr/bin/env bash
# Times a scan of a folder of 100,000 small files through the scan procedure, with its progress window
# (offscreen), against recording the same folder with `ktb record`, and prints the medians and the
# ratio scan/record (the goal: at most 1.2). Both record into a new catalog each run; the folder is read
# from the page cache.
#
#   bench/scan_vs_record.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
set -euo pipefail
cd "$(dirname "$0")/.."

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
if [ ! -f "$folder/.complete" ]; then
    rm -rf "$folder"
    python3 - "$folder" "$files" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    sub = os.path.join(folder, "set%03d" % (i // 1000), "group%d" % (i // 100 % 10))
    if i % 100 == 0:
        os.makedirs(sub, exist_ok=True)
    with open(os.path.join(sub, "file%06d.txt" % i), "w") as f:
        f.write("x" * (i % 50))
open(os.path.join(folder, ".complete"), "w").close()
PY
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scan="$build/bench/scan_bench $folder $work/scan.ktb"
record="$build/ktb record $work/record.ktb $folder"

median() { # the median of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
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
