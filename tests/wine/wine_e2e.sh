#!/usr/bin/env bash
# setup.exe under Wine, run for run against the simulator:
#
#   wine_e2e.sh prepare             make the pristine prefix of this build's kind
#   wine_e2e.sh version VERSION     run that Windows version's scenarios
#                                   (scenarios.txt) and compare each run
#   wine_e2e.sh scenario NAME       run one scenario
#   wine_e2e.sh cleanup             remove the pristine prefix again
#
# options: --bits 32|64 (the build: 32 is the shipped setup.exe),
# --work DIR (prefixes, logs), --setup-exe FILE, --fixtures DIR (the test
# monitor, the rundll32.exe recorder, spooler_list.exe and, for 32 bits, the
# test winspool.drv),
# --winsim FILE and --setup FILE (the simulator's tool and the Linux setup).
# Exit: 0 passed, 1 failed, 77 skipped (Wine, Xvfb, xdotool, the build, the
# fixtures or a machine that executes 32-bit programs missing).
# ORVANE_WINE_KEEP=1 keeps the prefixes.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/session.sh
source "$here/lib/session.sh"
# shellcheck source=lib/differential.sh
source "$here/lib/differential.sh"

command=${1:-}
subject=""
shift || true
case $command in version | scenario) subject=${1:-}; shift || true ;; esac
bits=64 work="" setup_exe="" fixtures="" winsim="" linux_setup=""
while [ $# -gt 0 ]; do
  case $1 in
    --bits) bits=$2 ;;
    --work) work=$2 ;;
    --setup-exe) setup_exe=$2 ;;
    --fixtures) fixtures=$2 ;;
    --winsim) winsim=$2 ;;
    --setup) linux_setup=$2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
if [ -z "$command" ] || [ -z "$work" ]; then
  echo "usage: wine_e2e.sh prepare|cleanup|version V|scenario NAME --bits 32|64 --work DIR" \
    "[--setup-exe FILE --fixtures DIR --winsim FILE --setup FILE]" >&2
  exit 2
fi
use_wine "$bits"
template=$work/template$bits

skip() {
  echo "SKIP: $*"
  exit 77
}

# What every command needs of this machine.
need_machine() {
  local missing
  missing=$(missing_tools "$@")
  [ -z "$missing" ] || skip "not installed: $(tr '\n' ' ' <<<"$missing")"
  if [ "$bits" = 32 ]; then
    can_run_i386 || skip "this machine cannot execute 32-bit x86 programs (the kernel" \
      "answers \"Exec format error\"), so the 32-bit Wine cannot run here"
    [ -x /usr/lib/wine/wine ] || [ -n "${ORVANE_WINE32:-}" ] ||
      skip "no 32-bit Wine (dpkg --add-architecture i386; apt-get install wine32:i386)"
  fi
}

need_inputs() {
  [ -f "$setup_exe" ] || skip "no $setup_exe (cmake --preset mingw-x86 or mingw-x64, then build)"
  local file
  for file in test_monitor.dll rundll32.exe spooler_list.exe; do
    [ -f "$fixtures/$file" ] || skip "no Wine fixture $fixtures/$file (it needs MinGW-w64)"
  done
  if [ "$bits" = 32 ] && [ ! -f "$fixtures/winspool.drv" ]; then
    skip "no test winspool.drv in $fixtures (it needs wine32's winspool.drv and MinGW)"
  fi
  [ -x "$winsim" ] && [ -x "$linux_setup" ] || skip "no winsim or setup at $winsim, $linux_setup"
  [ -f "$template/system.reg" ] || {
    echo "FAIL: no pristine prefix at $template: the wine.prefix$bits test makes it"
    exit 1
  }
}

case $command in
  prepare)
    need_machine
    mkdir -p "$work"
    started=$SECONDS
    if make_template "$template" "$work/template$bits.log"; then
      echo "ok    a $bits-bit Windows XP prefix at $template in $((SECONDS - started)) s"
      exit 0
    fi
    echo "FAIL: could not make the prefix; see $work/template$bits.log"
    tail -n 20 "$work/template$bits.log"
    exit 1
    ;;
  cleanup)
    stop_wine "$template"
    rm -rf "$template"
    echo "ok    removed $template"
    ;;
  version | scenario)
    need_machine Xvfb xdotool
    need_inputs
    run_scenarios "$command" "$subject"
    ;;
  *) echo "unknown command $command" >&2; exit 2 ;;
esac
