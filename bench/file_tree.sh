# Shared by the benchmarks that record a folder (source it): the folder of small files they read and
# the median of a list of times.

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
