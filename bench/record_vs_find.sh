#!/usr/bin/env bash
# Times `ktb record` of a folder of 100,000 small files into a new catalog against
# `find DIR -printf '%f %s %T@\n'`, which reads the same names, sizes and times and writes nothing, and
# prints the medians and the ratio record/find (the goal: at most 1.1). Both read the folder from the
# page cache; every recording starts from a catalog that does not exist yet, on disk (not a memory file
# system), and syncs it before it reports success: the time spent in syncs is printed apart.
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

work=$(mktemp -d -p "${BENCH_DISK_FOLDER:-$PWD/bench/out}")
trap 'rm -rf "$work"' EXIT
catalog=$work/record.ktb
record="$build/ktb record $catalog $folder"
find="find $folder -printf '%f %s %T@\n'"

compare_commands "ktb record" "$record" "rm -f $catalog" "find -printf" "$find" true "ratio record/find" \
    "$out/record_vs_find.json"
echo "ktb record's syncs: $(sync_time "$record" "rm -f $catalog")"
