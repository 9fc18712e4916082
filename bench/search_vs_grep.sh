#!/usr/bin/env bash
# Times `ktb find -c PATTERN` against `LC_ALL=C grep -c -a -i -F PATTERN` on one synthetic catalog of
# two million files, for a rare and a common pattern, and prints the median times and the ratio
# ktb/grep (the goal: at most 1.5 for both). Both read the same file from the page cache. Their output
# goes to a pipe: GNU grep stops at the first match when its output is /dev/null.
#
#   bench/search_vs_grep.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-15}
out=bench/out
mkdir -p "$out"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target ktb ktb_gencatalog >/dev/null

catalog=$out/search-2m-files.ktb
if [ ! -f "$catalog" ]; then
    "$build/bench/ktb_gencatalog" "$catalog" 2000000
fi
ktb=$build/ktb

median() { # the median of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

time_runs() { # seconds of each of $runs runs of the command, one a line (after one warm-up run)
    "$@" | cat >/dev/null || true
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        "$@" | cat >/dev/null || true
        end=$(date +%s.%N)
        echo "$end - $start" | bc -l
    done
}

printf '%-10s %10s %10s %12s %12s %8s\n' pattern matches lines "ktb (ms)" "grep (ms)" ratio
for pattern in zanzibar mp3; do
    matches=$("$ktb" find -c "$pattern" "$catalog" || true)
    lines=$(LC_ALL=C grep -c -a -i -F "$pattern" "$catalog" || true)
    if command -v hyperfine >/dev/null 2>&1; then
        hyperfine --style none --warmup 2 --runs "$runs" --ignore-failure --output=pipe \
            --export-json "$out/$pattern.json" \
            "$ktb find -c $pattern $catalog" "LC_ALL=C grep -c -a -i -F $pattern $catalog" >/dev/null
        read -r ktbTime grepTime < <(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(results[0]["median"], results[1]["median"])' "$out/$pattern.json")
    else
        ktbTime=$(time_runs "$ktb" find -c "$pattern" "$catalog" | median)
        grepTime=$(LC_ALL=C time_runs grep -c -a -i -F "$pattern" "$catalog" | median)
    fi
    printf '%-10s %10s %10s %12.1f %12.1f %8.2f\n' "$pattern" "$matches" "$lines" \
        "$(echo "$ktbTime * 1000" | bc -l)" "$(echo "$grepTime * 1000" | bc -l)" "$(echo "$ktbTime / $grepTime" | bc -l)"
done
