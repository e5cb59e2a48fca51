#!/usr/bin/env bash
# Builds the core benchmarks (Release, in build/bench unless BENCH_BUILD says
# otherwise) and runs them; arguments go to Google Benchmark, for example
#   benchmarks/run.sh --benchmark_filter=Tick --benchmark_repetitions=3
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target tolvane_core_benchmarks >/dev/null

echo "machine: $(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)," \
    "Debian $(cat /etc/debian_version), load average $(cut -d' ' -f1-3 /proc/loadavg)"
# glibc hands blocks above 128 KiB back to the system as soon as they are
# freed, and the next write of a long schedule faults the same pages in again;
# how often depends on what ran before, so a 10,000-line write took 90 us in
# one run and 700 us in the next. Keeping freed memory in the process makes
# the figures repeatable and shows the work itself.
export GLIBC_TUNABLES=glibc.malloc.mmap_threshold=67108864:glibc.malloc.trim_threshold=134217728
exec "$build/benchmarks/tolvane_core_benchmarks" "$@"
