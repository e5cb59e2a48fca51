#!/bin/bash
# The program started from a shell, with the options in a Linux user's habit:
# "--lock --force" acts as "/lock /force" (logind, on a bus nobody answers,
# says it could not: the request went out), and an option it does not know
# is told on standard error as well as in the window's box.
#
#   command_line_test.sh TOLVANE
set -u
tolvane=$1
# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" command-line
isolated_home "$work/config" "$work/data"
export QT_QPA_PLATFORM=offscreen

"$tolvane" --bogus 2>"$work/err" &
started $!
told() { grep -q 'Invaild Option!' "$work/err"; }
within told || fail "nothing on standard error: $(cat "$work/err")"
grep -q '/reboot' "$work/err" || fail "the options were not listed: $(cat "$work/err")"
grep -q $'\r' "$work/err" && fail "carriage returns on a terminal"
echo "an unknown option: told on standard error"

# Each Linux form is the program's own; nothing else is told as unknown.
"$tolvane" --lock --force 2>"$work/err2" &
started $!
asked() { grep -q 'lock' "$work/err2"; }
within asked || fail "the lock was not asked for: $(cat "$work/err2")"
grep -q 'Invaild' "$work/err2" && fail "--lock --force was taken for an unknown option"
echo "--lock --force: the lock asked for, no complaint"
