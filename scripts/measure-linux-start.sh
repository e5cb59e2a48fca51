#!/usr/bin/env bash
# Measures tolvane's start under Xvfb, beside three others: a bare Qt 6 program
# that shows one empty QWidget (built here from a few lines, the floor any Qt
# Widgets program stands on), a plain Qt program with tolvane's controls and
# nothing behind them (what the window itself costs in Qt) and Debian's
# kshutdown as the reference: the
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

# The same controls: a plain Qt program that puts up the window's controls,
# captions, menus and icon with nothing behind them, to tell what the
# window costs in Qt from what tolvane adds to it. Its list of controls is the
# window table's, copied (twips divided by 15, the pixels at 96 dots per inch).
cat >"$work/controls.cpp" <<'EOF_CONTROLS'
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <vector>

enum Kind { Frame, Group, Button, Option, Check, Combo, List, Label };
struct Control { Kind kind; const char* caption; int parent, left, top, width, height; };
const Control kControls[] = {
    {Frame, "Main Menu", -1, 120, 120, 6375, 735},
    {Button, "Minimize", 0, 120, 240, 1455, 375}, {Button, "About", 0, 1680, 240, 1455, 375},
    {Button, "Help", 0, 3240, 240, 1455, 375}, {Button, "Exit", 0, 4800, 240, 1455, 375},
    {Frame, "Reboot Schedule", -1, 120, 960, 4335, 4335},
    {Option, "Reboot Windows", 5, 720, 360, 1815, 195},
    {Option, "Lock Workstation", 5, 720, 600, 1815, 195},
    {Option, "Log out of Windows", 5, 720, 840, 1815, 195},
    {Option, "Shutdown Windows", 5, 720, 1080, 1935, 195},
    {Check, "Force", 5, 1200, 1320, 1215, 195}, {Label, "Set Time:", 5, 360, 1800, 735, 255},
    {Combo, "", 5, 1080, 1800, 615, 315}, {Combo, "", 5, 1800, 1800, 615, 315},
    {Combo, "", 5, 2520, 1800, 615, 315}, {Label, "Set Day:", 5, 360, 2160, 855, 255},
    {Combo, "Every Day", 5, 1080, 2160, 2055, 315}, {Group, "", 5, 600, 2640, 2535, 255},
    {Option, "Only Once", 17, 360, 0, 1095, 195}, {Option, "Repeat", 17, 1440, 0, 855, 195},
    {Button, "Add It", 5, 360, 3000, 1455, 255}, {Button, "Remove It", 5, 1920, 3000, 1455, 255},
    {List, "", 5, 120, 3360, 4095, 840},
    {Frame, "Reboot Now", -1, 4560, 960, 1935, 4335},
    {Button, "Reboot Now", 23, 120, 360, 1695, 615},
    {Button, "Lock WorkStation", 23, 120, 1080, 1695, 615},
    {Button, "Log Off Now", 23, 120, 1800, 1695, 615},
    {Button, "ShutDown Now", 23, 120, 2520, 1695, 615},
    {Check, "Force", 23, 480, 3240, 1095, 255},
    {Label, "These Buttons will reboot your system Now", 23, 360, 3600, 1215, 615},
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Same controls window"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(ICONS "/tolvane-%1.png").arg(size), QSize(size, size));
    }
    window.setWindowIcon(icon);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* bar = new QMenuBar(&window);
    layout->setMenuBar(bar);
    for (const char* menu : {"File", "Options", "Help"}) bar->addMenu(menu);
    const auto menus = bar->findChildren<QMenu*>();
    for (const char* item : {"Minimize", "About", "-", "E&xit"}) {
        item[0] == '-' ? menus[0]->addSeparator() : menus[0]->addAction(item);
    }
    for (const char* item : {"Minimize on Start up", "Show Reboot Schedule", "Show Reboot Now"}) {
        menus[1]->addAction(item)->setCheckable(true);
    }
    menus[1]->addAction("Set Service");
    for (const char* item : {"About", "Help"}) menus[2]->addAction(item);
    auto* client = new QWidget(&window);
    client->setFixedSize(6615 / 15, 5415 / 15);
    layout->addWidget(client);
    std::vector<QWidget*> made;
    for (const Control& c : kControls) {
        QWidget* parent = c.parent < 0 ? client : made[c.parent];
        QWidget* w = nullptr;
        switch (c.kind) {
            case Frame: w = new QGroupBox(c.caption, parent); break;
            case Group: w = new QWidget(parent); break;
            case Button: w = new QPushButton(c.caption, parent); break;
            case Option: w = new QRadioButton(c.caption, parent); break;
            case Check: w = new QCheckBox(c.caption, parent); break;
            case Combo: {
                auto* combo = new QComboBox(parent);
                combo->setEditable(true);
                for (int i = 1; i <= 12; ++i) combo->addItem(QString::number(i));
                combo->setEditText(c.caption);
                w = combo;
                break;
            }
            case List: w = new QListWidget(parent); break;
            case Label: {
                auto* label = new QLabel(c.caption, parent);
                label->setWordWrap(true);
                w = label;
                break;
            }
        }
        w->setGeometry(c.left / 15, c.top / 15, c.width / 15, c.height / 15);
        made.push_back(w);
    }
    window.show();
    return QApplication::exec();
}
EOF_CONTROLS
# shellcheck disable=SC2046 # pkg-config's flags are words on purpose
g++ -std=c++17 -O2 -fPIC -DICONS="\"$PWD/resources/linux/icons\"" -o "$work/same-controls" \
    "$work/controls.cpp" $(pkg-config --cflags --libs Qt6Widgets)

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

names=(tolvane bare-qt controls)
titles=('^Tolvane 2\.1 - Quarnel $' '^Bare Qt window$' '^Same controls window$')
commands=("$program" "$work/bare-qt-window" "$work/same-controls")
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
awk -v t="${medianTime[tolvane]}" -v ct="${medianTime[controls]}" \
    -v m="${medianMemory[tolvane]}" -v cm="${medianMemory[controls]}" -v bm="${medianMemory[bare-qt]}" 'BEGIN {
    printf "the same controls in plain Qt: %+.1f MiB above the bare window; tolvane %.2fx its time, %+.1f MiB above its memory\n",
        (cm - bm) / 1024, t / ct, (m - cm) / 1024
}'
if [ "$reference" = 1 ]; then
    awk -v t="${medianTime[tolvane]}" -v rt="${medianTime[kshutdown]}" \
        -v m="${medianMemory[tolvane]}" -v rm="${medianMemory[kshutdown]}" 'BEGIN {
        printf "tolvane / kshutdown: start-up time %.2fx (target <= 0.40: %s), resident memory %.3fx (target <= 0.333: %s)\n",
            t / rt, (t / rt <= 0.4 ? "met" : "NOT met"), m / rm, (m / rm <= 1 / 3 ? "met" : "NOT met")
    }'
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
