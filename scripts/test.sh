#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: the native Linux build, then
# the Windows cross build with its tests under Wine, then the native tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target
# for a while (TOLVANE_FUZZ_SECONDS, 30 s by default).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in linux windows linux-asan fuzz; do
    echo "== $preset =="
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
