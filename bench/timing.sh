# Helpers of the benchmark scripts that time paired runs against a reference tool (sourced).

median() { # the median of the numbers on standard input
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

seconds() { # runs the command with its output into a pipe and prints the seconds it took
    local start end
    start=$(date +%s.%N)
    "$@" | cat >/dev/null || true
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

filesets_ready() { # BUILD DATA TARGET...: configures BUILD (Release) when missing, builds the targets and
    # makes the ten filesets of 1,000,000 files in DATA when they are missing
    local build=$1 data=$2
    shift 2
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKATALOX_BUILD_TESTS=OFF >/dev/null
    fi
    cmake --build "$build" -j 2 --target ktb make_filesets "$@" >/dev/null
    if [ ! -f "$data/Bench - Fileset9.ktb" ]; then
        mkdir -p "$data"
        "$build/bench/make_filesets" "$data" 10 1000000
    fi
}
