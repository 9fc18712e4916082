#!/usr/bin/env bash
# Times the program's search (CatalogSearch over a registry of one folder, run by search_filesets)
# and `ktb find -c` against `LC_ALL=C grep -c -a -i -F PATTERN` over the same files: ten synthetic
# filesets of 1,000,000 files each (about 310 MB), a rare pattern (about 0.06 % of the names) and a
# common one (about 10 %). Runs are paired (the two commands one after the other, in alternating
# order) and both read the files from the page cache, loaded as from disk; output goes to a pipe, since GNU grep stops at
# the first match when its output is /dev/null. Prints the median times and the ratios to grep:
#   search (both cores)            goals 0.25 rare, 0.6 common
#   ktb find -c (both cores)       goals 0.25 rare, 0.5 common
#   ktb find -c on one core        goals 0.5 rare, 1.0 common (taskset -c 0, grep too)
# then the peak memory of a search that keeps 50,000 results above the idle program (goal: under
# 40 MB). The load average is printed beside each pass: on a busy machine rely on the ratios.
#
#   bench/search_filesets.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
#   RUNS=15 sets the number of pairs; DATA=folder puts the filesets elsewhere (default bench/out).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
runs=${RUNS:-11}
data=${DATA:-bench/out/filesets-10x1m}
rare=quetzal
common=mp3

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF \
        -DKATALOX_BUILD_GUI=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target make_filesets search_filesets ktb >/dev/null
search=$build/bench/search_filesets
ktb=$build/ktb

if [ ! -f "$data/Bench - Fileset9.ktb" ]; then
    mkdir -p "$data"
    "$build/bench/make_filesets" "$data" 10 1000000
fi
files=("$data"/*.ktb)
# Into the page cache as a catalog comes when read from disk: a file just written stays cached in the
# small pieces it was written in, which costs any reader of a mapping more than the search itself.
sync "${files[@]}"
for file in "${files[@]}"; do
    dd if="$file" iflag=nocache count=0 status=none
done
cat "${files[@]}" >/dev/null

. bench/timing.sh

load() { uptime | sed 's/.*load average: /load /'; }

compare() { # label pattern command...: paired runs against grep, then the medians and their ratio
    local label=$1 pattern=$2 ours=() theirs=() i
    shift 2
    local -a reference=(env LC_ALL=C grep -c -a -i -F "$pattern" "${files[@]}")
    if [ "${ONECORE:-}" = 1 ]; then
        reference=(taskset -c 0 "${reference[@]}")
    fi
    "$@" | cat >/dev/null || true # warm-up
    for i in $(seq "$runs"); do
        if ((i % 2)); then
            ours+=("$(seconds "$@")")
            theirs+=("$(seconds "${reference[@]}")")
        else
            theirs+=("$(seconds "${reference[@]}")")
            ours+=("$(seconds "$@")")
        fi
    done
    local a b
    a=$(printf '%s\n' "${ours[@]}" | median)
    b=$(printf '%s\n' "${theirs[@]}" | median)
    local counts
    counts=$("$@" | tail -n 1 || true)
    printf '%-26s %-8s ours %6.3f s  grep %6.3f s  ratio %5.2f  (%s; %s)\n' \
        "$label" "$pattern" "$a" "$b" "$(echo "$a / $b" | bc -l)" "$counts" "$(load)"
}

echo "Search over $(du -sh "$data" | cut -f1) in ${#files[@]} filesets, $runs paired runs, $(nproc) cores, $(load)"
echo "(search: file matches, folder matches, kept, discs; ktb: matches)"
for pattern in "$rare" "$common"; do
    compare "search" "$pattern" "$search" "$data" "$pattern"
done
for pattern in "$rare" "$common"; do
    compare "ktb find -c" "$pattern" "$ktb" find -c "$pattern" "$data"
done
for pattern in "$rare" "$common"; do
    ONECORE=1 compare "ktb find -c, one core" "$pattern" taskset -c 0 "$ktb" find -c "$pattern" "$data"
done
echo "Memory of a search that keeps 50,000 results ($common):"
"$search" --memory "$data" "$common" | tail -n 1
