# Shared by the benchmarks that record a folder (source it): the folder of small files they read and
# the median of a list of times, and the timing of two commands against each other.

# Makes FOLDER with COUNT small files in folders of 10 groups of 100 files (set000/group0/file000000.txt),
# once: a complete tree is kept for the next run.
make_file_tree() {
    local folder=$1 count=$2
    [ -f "$folder/.complete" ] && return 0
    rm -rf "$folder"
    python3 - "$folder" "$count" <<'PY'
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
}

median() { # the median of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Times two commands RUNS times each (after a warm-up), running PREPARE before every run of each, and
# prints their medians in milliseconds and the ratio first/second:
#   compare_commands NAME-A COMMAND-A PREPARE-A NAME-B COMMAND-B PREPARE-B RATIO-LABEL JSON-FILE
# hyperfine does the timing where it is installed; a plain loop of `date` readings otherwise.
compare_commands() {
    local nameA=$1 commandA=$2 prepareA=$3 nameB=$4 commandB=$5 prepareB=$6 ratioLabel=$7 json=$8
    local timeA timeB
    if command -v hyperfine >/dev/null 2>&1; then
        hyperfine --style none --warmup 1 --runs "$runs" --export-json "$json" \
            --prepare "$prepareA" "$commandA" --prepare "$prepareB" "$commandB" >/dev/null
        read -r timeA timeB < <(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(results[0]["median"], results[1]["median"])' "$json")
    else
        timeA=$(time_command "$commandA" "$prepareA" | median)
        timeB=$(time_command "$commandB" "$prepareB" | median)
    fi
    printf '%-28s %10s\n' "$files files" "median (ms)"
    printf '%-28s %10.1f\n' "$nameA" "$(echo "$timeA * 1000" | bc -l)"
    printf '%-28s %10.1f\n' "$nameB" "$(echo "$timeB * 1000" | bc -l)"
    printf '%-28s %10.2f\n' "$ratioLabel" "$(echo "$timeA / $timeB" | bc -l)"
}

time_command() { # seconds of each of $runs runs of COMMAND, one a line, PREPARE before each (and a warm-up)
    local command=$1 prepare=$2
    bash -c "$prepare"
    bash -c "$command" >/dev/null
    for _ in $(seq "$runs"); do
        local start end
        bash -c "$prepare"
        start=$(date +%s.%N)
        bash -c "$command" >/dev/null
        end=$(date +%s.%N)
        echo "$end - $start" | bc -l
    done
}

# sync_time COMMAND PREPARE: runs PREPARE, then COMMAND once under strace, and prints the milliseconds
# COMMAND spent waiting for its fsync and fdatasync calls (a figure apart from the timed runs, which
# strace would slow).
sync_time() {
    local command=$1 prepare=$2 trace
    trace=$(mktemp)
    bash -c "$prepare"
    strace -f -qq -T -e trace=fsync,fdatasync -o "$trace" bash -c "$command" >/dev/null
    python3 -c '
import re, sys
total = sum(float(m) for m in re.findall(r"<([0-9.]+)>", open(sys.argv[1]).read()))
calls = len(re.findall(r"sync\(", open(sys.argv[1]).read()))
print(f"{total * 1000:.1f} ms in {calls} syncs")' "$trace"
    rm -f "$trace"
}
