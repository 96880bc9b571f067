#!/usr/bin/env bash
# End-to-end tests of the real setup.exe under Wine, one scenario a call:
#
#   wine_e2e.sh prepare    make the pristine Windows XP (64-bit) prefix
#   wine_e2e.sh monitor    the test monitor DLL against Wine's spooler
#   wine_e2e.sh install    install on a fresh copy of the prefix
#   wine_e2e.sh reinstall  install, then install over it
#   wine_e2e.sh uninstall  install, decline the removal, then confirm it
#   wine_e2e.sh cleanup    remove the pristine prefix again
#
# options: --work DIR (prefixes, logs, screenshots), --setup-exe FILE (the
# 64-bit build: this host cannot run 32-bit programs), --fixtures DIR
# (test_monitor.dll, rundll32.exe, monitor_probe.exe), --winsim FILE (lays out
# the product tree exactly as the simulator's machines have it).
# Exit: 0 passed, 1 failed, 77 skipped (Wine, Xvfb, xdotool, the MinGW build
# or the fixtures missing). ORVANE_WINE_KEEP=1 keeps the prefixes.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/session.sh
source "$here/lib/session.sh"
# shellcheck source=lib/readback.sh
source "$here/lib/readback.sh"
# shellcheck source=lib/check.sh
source "$here/lib/check.sh"
# shellcheck source=lib/expect.sh
source "$here/lib/expect.sh"

scenario=${1:-}
shift || true
work="" setup_exe="" fixtures="" winsim=""
while [ $# -gt 0 ]; do
  case $1 in
    --work) work=$2 ;;
    --setup-exe) setup_exe=$2 ;;
    --fixtures) fixtures=$2 ;;
    --winsim) winsim=$2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
if [ -z "$scenario" ] || [ -z "$work" ]; then
  echo "usage: wine_e2e.sh prepare|monitor|install|reinstall|uninstall|cleanup --work DIR" \
    "[--setup-exe FILE --fixtures DIR --winsim FILE]" >&2
  exit 2
fi
template=$work/template
dir=$work/$scenario
prefix=$dir/prefix

skip() {
  echo "SKIP: $*"
  exit 77
}

cleanup() {
  stop_wine "$prefix"
  stop_display
  if [ "$FAILURES" -eq 0 ] && [ "${ORVANE_WINE_KEEP:-0}" != 1 ]; then
    rm -rf "$prefix"
  fi
}

# What every scenario but "prepare" needs; a fresh copy of the prefix in $prefix.
begin() {
  local missing
  missing=$(missing_tools "$@")
  [ -z "$missing" ] || skip "not installed: $(tr '\n' ' ' <<<"$missing")"
  [ -f "$template/system.reg" ] || {
    echo "FAIL: no pristine prefix at $template: the wine.prefix test makes it"
    exit 1
  }
  stop_wine "$prefix"  # a server left over from an earlier run of this scenario
  rm -rf "$dir"
  mkdir -p "$dir"
  trap cleanup EXIT
  trap 'exit 143' TERM INT HUP  # stopped at a time limit: clean up all the same
  copy_template "$template" "$prefix" || {
    echo "FAIL: could not copy $template"
    exit 1
  }
  echo "prefix: $prefix"
}

# The product tree in c:\orvane: the simulator's stand-in files, setup.exe,
# the stand-in rundll32.exe and the test monitor as both monitor DLLs. Sets
# $product to the simulator's copy of the tree, which the checks compare with.
lay_out_product() {
  local machine=$dir/machine
  "$winsim" create "$machine" >"$dir/winsim.log" 2>&1 || {
    echo "FAIL: winsim create: $(cat "$dir/winsim.log")"
    exit 1
  }
  product=$machine/drive_c/orvane
  cp -r "$product" "$prefix/drive_c/orvane"
  cp "$setup_exe" "$prefix/drive_c/orvane/setup.exe"
  cp "$fixtures/rundll32.exe" "$prefix/drive_c/orvane/rundll32.exe"
  cp "$fixtures/test_monitor.dll" "$prefix/drive_c/orvane/res/drivedir/orvmon.dll"
  cp "$fixtures/test_monitor.dll" "$prefix/drive_c/orvane/res/drivedir/orvmona.dll"
}

need_product_inputs() {
  [ -f "$setup_exe" ] ||
    skip "no $setup_exe (cmake --preset mingw-x64 && cmake --build --preset mingw-x64)"
  if [ ! -f "$fixtures/test_monitor.dll" ] || [ ! -f "$fixtures/rundll32.exe" ]; then
    skip "no Wine fixtures in $fixtures (they need x86_64-w64-mingw32-g++)"
  fi
  [ -x "$winsim" ] || skip "no winsim tool at $winsim"
}

scenario_prepare() {
  local missing
  missing=$(missing_tools)
  [ -z "$missing" ] || skip "not installed: $(tr '\n' ' ' <<<"$missing")"
  mkdir -p "$work"
  local started=$SECONDS
  if make_template "$template" "$work/template.log"; then
    echo "ok    a Windows XP (winxp64) prefix at $template in $((SECONDS - started)) s"
    return 0
  fi
  echo "FAIL: could not make the prefix; see $work/template.log"
  tail -n 20 "$work/template.log"
  return 1
}

scenario_cleanup() {
  stop_wine "$template"
  rm -rf "$template"
  echo "ok    removed $template"
}

scenario_monitor() {
  if [ ! -f "$fixtures/test_monitor.dll" ] || [ ! -f "$fixtures/monitor_probe.exe" ]; then
    skip "no Wine fixtures in $fixtures (they need x86_64-w64-mingw32-g++)"
  fi
  begin
  cp "$fixtures/test_monitor.dll" "$prefix/drive_c/windows/system32/orvprobe.dll"
  cp "$fixtures/monitor_probe.exe" "$prefix/drive_c/monitor_probe.exe"
  wine_in "$prefix" 60 'c:\monitor_probe.exe' 'Orvane Probe Monitor' orvprobe.dll \
    >"$dir/probe.out" 2>"$dir/probe.err"
  local code=$?
  sed 's/\r$//' "$dir/probe.out"
  check "monitor_probe.exe ends with 0" "$code" 0
  finish
}

scenario_install() {
  need_product_inputs
  begin Xvfb xdotool
  lay_out_product
  start_display "$dir" || skip "Xvfb did not start: $(cat "$dir/xvfb.log")"
  ANSWERS=()
  run_setup "$dir" "$prefix" install
  stop_wine "$prefix"
  expect_run install "" ""
  expect_installed install 1
  finish
}

scenario_reinstall() {
  need_product_inputs
  begin Xvfb xdotool
  lay_out_product
  start_display "$dir" || skip "Xvfb did not start: $(cat "$dir/xvfb.log")"
  ANSWERS=()
  run_setup "$dir" "$prefix" install
  stop_wine "$prefix"
  expect_run install "" ""
  run_setup "$dir" "$prefix" reinstall
  stop_wine "$prefix"
  expect_run reinstall "" ""
  expect_installed reinstall 2
  finish
}

scenario_uninstall() {
  need_product_inputs
  begin Xvfb xdotool
  lay_out_product
  start_display "$dir" || skip "Xvfb did not start: $(cat "$dir/xvfb.log")"
  ANSWERS=()
  run_setup "$dir" "$prefix" install
  stop_wine "$prefix"
  expect_run install "" ""
  cp "$prefix/system.reg" "$dir/installed.system.reg"

  ANSWERS=(n)
  run_setup "$dir" "$prefix" declined uninstall
  stop_wine "$prefix"
  expect_run declined "1 n" "$CONFIRM_TEXT"
  expect_declined declined

  ANSWERS=(y Return)
  run_setup "$dir" "$prefix" uninstall uninstall
  stop_wine "$prefix"
  expect_run uninstall "1 y
2 Return" "$CONFIRM_TEXT
$CLOSING_TEXT"
  if [ -f "$dir/uninstall-box1.png" ]; then
    cp "$dir/uninstall-box1.png" "$work/confirm-uninstall.png"
    echo "ok    the confirmation box is kept as $work/confirm-uninstall.png"
  fi
  expect_removed uninstall
  finish
}

case $scenario in
  prepare) scenario_prepare ;;
  cleanup) scenario_cleanup ;;
  monitor) scenario_monitor ;;
  install) scenario_install ;;
  reinstall) scenario_reinstall ;;
  uninstall) scenario_uninstall ;;
  *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
