#!/usr/bin/env bash
# Runs the test suites again and again on a machine kept busy, to show that no
# test depends on how fast the machine is. Builds once, then runs the `linux`
# and `linux-asan` test presets N times each and the `windows` preset M times,
# while a load generator keeps every core busy. The deployment tests (label
# deploy: the Ansible role on a Debian root) are left out.
#
#   bash scripts/stress-tests.sh [N [M]]      (defaults: N=10, M=3)
#
# Prints each run's result and a total; exits non-zero when any run failed.
# The log of a failed run stays in build/stress/.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_runs=${1:-10}
windows_runs=${2:-3}

bash scripts/install-deps.sh all
# The load generator; one busy shell loop per core stands in where it is missing.
if ! command -v stress-ng >/dev/null && [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends stress-ng \
        >/dev/null 2>&1 || true
fi

presets=(linux linux-asan)
[ "$windows_runs" -gt 0 ] && presets+=(windows)
for preset in "${presets[@]}"; do
    echo "== building $preset =="
    cmake --preset "$preset" -DBUILD_TESTING=ON >/dev/null
    cmake --build --preset "$preset" >/dev/null
done

load_pids=()
stop_load() {
    local pid
    for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${load_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    load_pids=()
}
trap stop_load EXIT
cores=$(nproc)
if command -v stress-ng >/dev/null; then
    stress-ng --cpu "$cores" --quiet >/dev/null 2>&1 &
    load_pids+=($!)
    echo "load: stress-ng --cpu $cores"
else
    for _ in $(seq "$cores"); do
        bash -c 'while :; do :; done' &
        load_pids+=($!)
    done
    echo "load: $cores busy loops"
fi

mkdir -p build/stress
runs=0
failures=0
started=$(date +%s)
run_preset() {
    local preset=$1 count=$2 i log begin status
    for i in $(seq "$count"); do
        log="build/stress/$preset-$i.log"
        begin=$(date +%s)
        status=0
        # The deployment tests wait on nothing timed; they download and
        # install packages, which is all they would add here.
        ctest --preset "$preset" -LE deploy >"$log" 2>&1 || status=$?
        runs=$((runs + 1))
        if [ "$status" -eq 0 ]; then
            echo "$preset run $i/$count: passed ($(($(date +%s) - begin)) s)"
            rm -f "$log"
        else
            failures=$((failures + 1))
            echo "$preset run $i/$count: FAILED ($(($(date +%s) - begin)) s), log in $log"
            grep -E '^\s+[0-9]+ - ' "$log" | sed 's/^/    /' || true
        fi
    done
}
run_preset linux "$linux_runs"
run_preset linux-asan "$linux_runs"
run_preset windows "$windows_runs"
stop_load

echo "== $runs runs, $failures failed, $(($(date +%s) - started)) s under load =="
[ "$failures" -eq 0 ]
