#!/usr/bin/env bash
# Times `ktb record` of a folder of 100,000 small files into a new catalog against
# `find DIR -printf '%f %s %T@\n'`, which reads the same names, sizes and times and writes nothing, and
# prints the medians and the ratio record/find (the goal: at most 1.3). Both read the folder from the
# page cache; every recording starts from a catalog that does not exist yet.
#
#   bench/record_vs_find.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/file_tree.sh

build=${1:-build-bench}
runs=${RUNS:-10}
files=${FILES:-100000}
out=bench/out
mkdir -p "$out"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target ktb >/dev/null

folder=$out/scan-$files-files
make_file_tree "$folder" "$files"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
catalog=$work/record.ktb
record="$build/ktb record $catalog $folder"
find="find $folder -printf '%f %s %T@\n'"

time_runs() { # seconds of each of $runs runs of the command, one a line (after one warm-up run)
    rm -f "$catalog"
    bash -c "$1" >/dev/null
    for _ in $(seq "$runs"); do
        local start end
        rm -f "$catalog"
        start=$(date +%s.%N)
        bash -c "$1" >/dev/null
        end=$(date +%s.%N)
        echo "$end - $start" | bc -l
    done
}

if command -v hyperfine >/dev/null 2>&1; then
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$out/record_vs_find.json" \
        --prepare "rm -f $catalog" "$record" --prepare true "$find" >/dev/null
    read -r recordTime findTime < <(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(results[0]["median"], results[1]["median"])' "$out/record_vs_find.json")
else
    recordTime=$(time_runs "$record" | median)
    findTime=$(time_runs "$find" | median)
fi
printf '%-28s %10s\n' "$files files" "median (ms)"
printf '%-28s %10.1f\n' "ktb record" "$(echo "$recordTime * 1000" | bc -l)"
printf '%-28s %10.1f\n' "find -printf" "$(echo "$findTime * 1000" | bc -l)"
printf '%-28s %10.2f\n' "ratio record/find" "$(echo "$recordTime / $findTime" | bc -l)"
