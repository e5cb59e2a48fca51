#!/usr/bin/env bash
# ansible-lint (Debian's, with its production profile) passes the role and the
# example playbook with no warning at all; nothing is fetched, and its caches
# go to a scratch home.
# Usage: ansible_lint_test.sh ansible-folder
set -euo pipefail
playbooks=$(realpath "$1")
# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" ansible-lint
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache ANSIBLE_HOME=$work/ansible-home
export ANSIBLE_LOCAL_TEMP=$work/ansible-tmp NO_COLOR=1
: >"$work/ansible.cfg"
export ANSIBLE_CONFIG=$work/ansible.cfg
mkdir -p "$HOME"
cd "$playbooks"
status=0
ansible-lint --offline --strict --profile production >"$work/lint.log" 2>&1 || status=$?
cat "$work/lint.log"
[ "$status" -eq 0 ] || fail "ansible-lint found something (exit status $status)"
grep -q 'Passed with production profile: 0 failure(s), 0 warning(s)' "$work/lint.log" ||
    fail "ansible-lint did not pass with the production profile and no warning"
