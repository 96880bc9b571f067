#!/usr/bin/env bash
# Builds everything and passes the tests: the Windows builds (their imports
# checked, the 64-bit setup.exe run under Wine), the Linux suite, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target
# for a bounded time (FUZZ_SECONDS, default 10).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

# The Windows builds first: the dev suite checks the imports of the shipped
# setup.exe and runs the 64-bit one under Wine.
for preset in mingw-x86 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

scripts/fuzz.sh "${FUZZ_SECONDS:-10}"

scripts/test_ratio.sh || echo "test_ratio.sh: no count (not a git checkout?)"

echo "all builds and tests passed"
