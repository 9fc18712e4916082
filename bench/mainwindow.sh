#!/usr/bin/env bash
# The main window's speed figures: filling and drawing a disc folder of 20,000 files (target under
# 50 ms) and the time from start to the first shown window with 200 registered filesets (target under
# 0.5 s; measured inside the program and, with hyperfine, for the whole process).
#   bench/mainwindow.sh [BUILD-DIR]
set -euo pipefail
build=${1:-build}
bench="$build/bench/mainwindow_bench"
maker="$build/bench/make_filesets"
[ -x "$bench" ] && [ -x "$maker" ] || { echo "build $bench and $maker first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

"$bench" list "$work"

mkdir -p "$work/config/Filesets"
"$maker" "$work/config/Filesets" 200 2000 >/dev/null
# A later run: the settings file names the storage folder and a start location.
printf '[Settings]\r\nFilesetFolder=%s/config/Filesets/\r\nCurrentPath=[Root]\r\nWidth=800\r\nHeight=600\r\n' "$work" \
    > "$work/config/Settings.ini"
for run in 1 2 3; do "$bench" startup "$work/config/"; done
if command -v hyperfine >/dev/null; then
    hyperfine --warmup 1 --runs 10 "$bench startup $work/config/"
fi
