#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: the native Linux build, then
# the Windows cross build with its tests under Wine, then the native tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target
# for a while (TOLVANE_FUZZ_SECONDS, 30 s by default).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh all

for preset in linux windows linux-asan fuzz; do
    echo "== $preset =="
    if [ "$preset" = fuzz ]; then
        cmake --preset "$preset"
    else
        # With the tests, also where scripts/start.sh configured the folder
        # without them.
        cmake --preset "$preset" -DBUILD_TESTING=ON
    fi
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
