#!/usr/bin/env bash
# The main job: builds setup, makes a fresh simulated Windows XP machine with the
# product in c:\orvane, runs setup on it (an installation), then shows what the
# run left: the setup log, what it printed, its message boxes and started
# programs, and the registry keys it wrote; last, orvcheck's report on what the
# run installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc 2>/dev/null || echo 2)" --target setup winsim orvcheck >/dev/null

machine=${ORVANE_MACHINE:-build/demo/machine}
rm -rf "$machine"
winsim=build/dev/winsim
$winsim create "$machine" ${ORVANE_WINDOWS:+--windows "$ORVANE_WINDOWS"}
$winsim reg "$machine" > "$machine.before.reg"

echo "== setup (standard output)"
code=0
ORVANE_MACHINE="$machine" build/dev/setup "$@" || code=$?
echo "== exit code: $code"

echo "== setup.log"
$winsim files "$machine" 'c:\orvane\res\drivedir\setup.log' 2>/dev/null | tr -d '\r' ||
  echo "(no setup log was written)"
echo "== journal (message boxes, started programs, pauses)"
$winsim journal "$machine"
echo "== registry written by the run"
$winsim reg "$machine" > "$machine.after.reg"
changes=$(diff "$machine.before.reg" "$machine.after.reg" | tr -d '\r' | grep '^[<>]' || true)
echo "${changes:-(no registry changes)}"
echo "== explore further: build/dev/winsim reg|files|journal $machine"
echo "== orvcheck: is Orvane installed whole?"
code=0
ORVANE_MACHINE="$machine" build/dev/orvcheck || code=$?
echo "== orvcheck exit code: $code (0 whole, 1 not installed, 2 partly there or damaged)"
