#!/usr/bin/env bash
# Instructions per call of the tick and of the schedule file's write and read,
# counted by callgrind: unlike times, the counts do not change with the
# machine's load, so they show how the work grows with the number of lines.
#
# Usage: benchmarks/count-instructions.sh [path/to/tolvane_core_benchmarks]
#   (valgrind is installed, as root, when it is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${1:-build/bench/benchmarks/tolvane_core_benchmarks}
if ! command -v valgrind >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "valgrind is missing; run this as root to install it" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends valgrind >/dev/null
fi

out=$(mktemp /tmp/tolvane-callgrind-XXXXXX)
trap 'rm -f "$out"' EXIT

# Runs one benchmark under callgrind, counting only inside `function`, and
# prints the instructions per call of it.
count() {
    local benchmark=$1 function=$2
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="$function" \
        "$bench" --benchmark_filter="^$benchmark\$" --benchmark_min_time=0.01 >/dev/null 2>&1
    # Functions are named once, as "fn=(id) name" or "cfn=(id) name", and by
    # id alone after that; a call is "cfn=(id)" then "calls=N ..." under its caller.
    awk -v want="$function" '
        /^summary:/ { total = $2 }
        /^c?fn=\(/ {
            id = $1; sub(/^c?fn=/, "", id)
            name = $0; sub(/^c?fn=\([0-9]+\) ?/, "", name)
            if (name != "") names[id] = name
            if ($0 ~ /^cfn=/) current = id
        }
        /^calls=/ { n = $1; sub(/^calls=/, "", n); calls[current] += n }
        END {
            for (id in calls) if (names[id] == want) c += calls[id]
            if (c == 0) { print "no calls"; exit 1 }
            printf "%d\n", total / c
        }' "$out"
}

printf '%-28s %8s %14s %12s\n' benchmark lines instructions 'per line'
for spec in \
    'BM_TickNoneDue|tolvane::Scheduler::Timer1_Timer()' \
    'BM_WriteScheduleFile|tolvane::ScheduleFile::SetFileData()' \
    'BM_ReadScheduleFile|tolvane::ScheduleFile::GetFileData()' \
    'BM_ReadShuffledScheduleFile|tolvane::ScheduleFile::GetFileData()'; do
    name=${spec%%|*}
    function=${spec#*|}
    for lines in 10 1000 100000; do
        instructions=$(count "$name/$lines" "$function")
        printf '%-28s %8d %14d %12.0f\n' "$name" "$lines" "$instructions" \
            "$(awk -v i="$instructions" -v n="$lines" 'BEGIN { print i / n }')"
    done
done
