#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each for a
# bounded time over its committed seed corpus: scripts/fuzz.sh [seconds-each].
# New inputs go to build/fuzz/corpus/<target>; a crash leaves its input there
# too (crash-*), to be added to the seeds and to a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"
status=0
for target in regedit4 machine_ini profile command_line install_root companion; do
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  if (cd "$work" && ../../tests/fuzz/${target}_fuzz -max_total_time="$seconds" \
        -rss_limit_mb=2048 -print_final_stats=0 . "../../../../tests/fuzz/corpus/$target" \
        > ../$target.log 2>&1); then
    echo "fuzz $target: $(grep -o 'Done [0-9]* runs' build/fuzz/corpus/$target.log) in ${seconds}s, no failure"
  else
    echo "fuzz $target: FAILED (see build/fuzz/corpus/$target.log)"
    tail -30 "build/fuzz/corpus/$target.log"
    status=1
  fi
done
exit $status
