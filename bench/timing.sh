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
