#!/usr/bin/env bash
# Times `ktb rm` of the first disc of a fileset of about 300 MB on disk (the goal: at most 1 s, the
# syncs included): every later byte moves down, after the journal has kept them. Each run starts from
# a fresh copy of the fileset, written out to the disk before the timing starts. The time spent in syncs
# is printed apart.
#
#   bench/delete_first_disc.sh [BUILD-DIR]     (default build-bench, configured as Release if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/file_tree.sh

build=${1:-build-bench}
runs=${RUNS:-5}
files=${FILES:-9800000}
out=bench/out
mkdir -p "$out"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j 2 --target ktb ktb_gencatalog >/dev/null

base=$out/delete-$files-files.ktb
[ -f "$base" ] || "$build/bench/ktb_gencatalog" "$base" "$files" >/dev/null
work=$(mktemp -d -p "${BENCH_DISK_FOLDER:-$PWD/$out}")
trap 'rm -rf "$work"' EXIT
catalog=$work/delete.ktb
prepare="cp $base $catalog && sync"
delete="$build/ktb rm $catalog 256"

printf '%-28s %10s\n' "fileset" "$(( $(stat -c %s "$base") / 1000000 )) MB"
hyperfine --style none --runs "$runs" --prepare "$prepare" --export-json "$out/delete_first_disc.json" "$delete" >/dev/null
python3 -c '
import json, sys
print("%-28s %10.1f" % ("ktb rm (median, ms)", json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' \
    "$out/delete_first_disc.json"
echo "ktb rm's syncs: $(sync_time "$delete" "$prepare")"
