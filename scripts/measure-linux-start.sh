#!/usr/bin/env bash
# Measures tolvane's start under Xvfb, beside two others: a bare Qt 6 program
# that shows one empty QWidget (built here from a few lines, the floor any Qt
# Widgets program stands on) and Debian's kshutdown as the reference: the
# time from starting the process to its window being on screen, and its
# resident memory 3 s after the start. Prints every run, the medians side by
# side and how tolvane stands against the targets: time to the window at most
# 1.2 times the bare window's and at most 0.4 times kshutdown's, resident
# memory at most 4 MiB above the bare window's and at most 1/3 of kshutdown's.
#
# Usage: scripts/measure-linux-start.sh [--no-reference] [path/to/tolvane]
#   RUNS=N      timed runs per program (default 5), after one untimed warm-up
#   The reference is installed (apt-get, as root) when it is missing; the
#   bare window needs g++, pkg-config and Qt 6's development files.
set -euo pipefail
cd "$(dirname "$0")/.."
reference=1
if [ "${1:-}" = --no-reference ]; then
    reference=0
    shift
fi
program=${1:-build/linux/tolvane}
runs=${RUNS:-5}
if [ ! -x "$program" ]; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux --target tolvane >/dev/null
fi
program=$(realpath "$program")

if [ "$reference" = 1 ] && ! command -v kshutdown >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "kshutdown is missing; run this as root to install it, or pass --no-reference" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends kshutdown >/dev/null ||
        { apt-get update -qq && apt-get install -y -qq --no-install-recommends kshutdown >/dev/null; }
fi

. scripts/private-session.sh
work=$(mktemp -d /tmp/tolvane-measure-XXXXXX)
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    private_session_stop
    rm -rf "$work"
}
trap cleanup EXIT
private_session_start "$work/session"

# The bare window: what Qt itself costs to put one window on screen, built
# the way a Qt program ordinarily is (-O2, Qt's shared libraries).
cat >"$work/bare.cpp" <<'EOF_BARE'
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.show();
    return QApplication::exec();
}
EOF_BARE
# shellcheck disable=SC2046 # pkg-config's flags are words on purpose
g++ -std=c++17 -O2 -fPIC -o "$work/bare-qt-window" "$work/bare.cpp" \
    $(pkg-config --cflags --libs Qt6Widgets)

# One start of a program: prints "<ms to the window> <KiB resident after 3 s>".
# Returns 2 when the program ended because it could not connect to the X
# server, which happens here to about one X client in a hundred.
measure_once() {
    local title=$1 start now shown rss
    shift
    start=$(date +%s%N)
    "$@" >"$HOME/output.log" 2>&1 &
    app=$!
    # Poll as fast as a process can be started (a few ms per look).
    until window_shown "$app" "$title"; do
        now=$(date +%s%N)
        if [ $((now - start)) -gt 20000000000 ] || ! kill -0 "$app" 2>/dev/null; then
            wait "$app" 2>/dev/null || true
            app=
            if grep -qiE "could not connect to display|cannot open display" "$HOME/output.log"; then
                return 2
            fi
            echo "no window from $1 after $(((now - start) / 1000000)) ms; its last words:" >&2
            tail -n 5 "$HOME/output.log" >&2
            return 1
        fi
    done
    shown=$((($(date +%s%N) - start) / 1000000))
    sleep "$(awk -v s="$start" -v n="$(date +%s%N)" 'BEGIN { r = 3 - (n - s) / 1e9; print (r > 0 ? r : 0) }')"
    rss=$(tree_rss_kib "$app")
    kill "$app"
    # A program that ignores the polite end is ended after 5 s.
    for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    app=
    echo "$shown $rss"
}

names=(tolvane bare-qt)
titles=('^Tolvane 2\.1 - Quarnel $' '^Bare Qt window$')
commands=("$program" "$work/bare-qt-window")
if [ "$reference" = 1 ]; then
    names+=(kshutdown)
    titles+=('^KShutdown')
    commands+=("$(command -v kshutdown)")
fi

# Measures once, starting again (at most twice) a program that could not
# connect to the X server; says so on standard error.
measure() {
    local name=$1 status _
    shift
    for _ in 1 2 3; do
        status=0
        private_home "$work/home-$name"
        measure_once "$@" || status=$?
        [ "$status" = 2 ] || return "$status"
        echo "note: $name could not connect to the X server; started again" >&2
    done
    return 1
}

# Each program keeps one private home for all its runs; the untimed warm-up
# writes its first settings and caches, so every timed run is an ordinary
# start. The programs take turns, so a change in the machine's load falls on
# all alike.
declare -A times memories
for i in "${!names[@]}"; do
    measure "${names[$i]}" "${titles[$i]}" "${commands[$i]}" >/dev/null
done
for run in $(seq "$runs"); do
    for i in "${!names[@]}"; do
        name=${names[$i]}
        read -r shown rss < <(measure "$name" "${titles[$i]}" "${commands[$i]}")
        times[$name]+="$shown "
        memories[$name]+="$rss "
        printf 'run %d %-9s window shown after %4d ms, resident memory after 3 s %6.1f MiB\n' \
            "$run" "$name" "$shown" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
    done
done

declare -A medianTime medianMemory
for name in "${names[@]}"; do
    # shellcheck disable=SC2086 # the lists are words on purpose
    medianTime[$name]=$(median ${times[$name]})
    # shellcheck disable=SC2086
    medianMemory[$name]=$(median ${memories[$name]})
done
echo
printf '%-24s %22s %28s\n' "median of $runs runs" "window shown after" "resident memory after 3 s"
for name in "${names[@]}"; do
    printf '%-24s %19s ms %24.1f MiB\n' "$name" "${medianTime[$name]}" \
        "$(awk -v k="${medianMemory[$name]}" 'BEGIN { print k / 1024 }')"
done
echo
awk -v t="${medianTime[tolvane]}" -v bt="${medianTime[bare-qt]}" \
    -v m="${medianMemory[tolvane]}" -v bm="${medianMemory[bare-qt]}" 'BEGIN {
    d = (m - bm) / 1024
    printf "tolvane / bare Qt window: start-up time %.2fx (target <= 1.20: %s)\n",
        t / bt, (t / bt <= 1.2 ? "met" : "NOT met")
    printf "tolvane - bare Qt window: resident memory %+.1f MiB (target <= +4.0 MiB: %s)\n",
        d, (d <= 4 ? "met" : "NOT met")
}'
if [ "$reference" = 1 ]; then
    awk -v t="${medianTime[tolvane]}" -v rt="${medianTime[kshutdown]}" \
        -v m="${medianMemory[tolvane]}" -v rm="${medianMemory[kshutdown]}" 'BEGIN {
        printf "tolvane / kshutdown: start-up time %.2fx (target <= 0.40: %s), resident memory %.3fx (target <= 0.333: %s)\n",
            t / rt, (t / rt <= 0.4 ? "met" : "NOT met"), m / rm, (m / rm <= 1 / 3 ? "met" : "NOT met")
    }'
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
