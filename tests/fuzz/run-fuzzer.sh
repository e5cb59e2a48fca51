#!/usr/bin/env bash
# Runs one libFuzzer target for a while from its seed corpus and prints how
# many inputs it tried. Fails on any crash, sanitizer finding or broken rule;
# the input that caused it is kept in the run folder and printed.
# Usage: run-fuzzer.sh target-program fuzz-source-folder run-folder seconds [more libFuzzer options]
set -euo pipefail
program=$1 sources=$2 runs=$3 seconds=$4
shift 4
name=$(basename "$program")
work="$runs/$name"
mkdir -p "$work/corpus" "$work/crashes"

dict=()
[ -f "$sources/dictionaries/$name.dict" ] && dict=(-dict="$sources/dictionaries/$name.dict")

# New inputs go to the first folder (in the build); the seeds are only read.
status=0
"$program" "$work/corpus" "$sources/corpus/$name" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/crashes/" "$@" >"$work/log" 2>&1 || status=$?

grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/log" | sed "s/^/$name: /" || true
if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    for crash in "$work"/crashes/*; do
        [ -f "$crash" ] || continue
        echo "== $crash"
        od -c "$crash" | head -n 20
    done
    exit "$status"
fi
