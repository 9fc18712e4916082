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

compare_commands "ktb record" "$record" "rm -f $catalog" "find -printf" "$find" true "ratio record/find" \
    "$out/record_vs_find.json"
