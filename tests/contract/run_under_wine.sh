#!/usr/bin/env bash
# contract.exe (the contract suite over the real Win32 API) under Wine, in a
# fresh prefix: a copy of the pristine Windows XP (64-bit) prefix that the
# wine.prefix64 test makes, or, when there is none, one made here the same way
# (tests/wine/lib/session.sh). Every Wine call runs under a time limit; the
# prefix's wineserver is stopped and the prefix removed at the end.
#
#   run_under_wine.sh --exe FILE --work DIR [--template DIR]
#
# --work is where the Wine tests keep their prefixes (build/dev/wine); this
# script works in DIR/contract and takes DIR/template64 unless told otherwise.
# Exit: 0 every case passed, 1 a case failed (or the run did not finish),
# 77 skipped (Wine or contract.exe missing). ORVANE_WINE_KEEP=1 keeps the prefix.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../wine/lib/session.sh
source "$here/../wine/lib/session.sh"

exe="" work="" template=""
while [ $# -gt 0 ]; do
  case $1 in
    --exe) exe=$2 ;;
    --work) work=$2 ;;
    --template) template=$2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
if [ -z "$exe" ] || [ -z "$work" ]; then
  echo "usage: run_under_wine.sh --exe FILE --work DIR [--template DIR]" >&2
  exit 2
fi
template=${template:-$work/template64}
dir=$work/contract
prefix=$dir/prefix
CONTRACT_TIMEOUT=${ORVANE_CONTRACT_TIMEOUT:-120}  # seconds for contract.exe

missing=$(missing_tools)
if [ -n "$missing" ]; then
  echo "SKIP: not installed: $(tr '\n' ' ' <<<"$missing")"
  exit 77
fi
if [ ! -f "$exe" ]; then
  echo "SKIP: no $exe (cmake --preset mingw-x64 && cmake --build --preset mingw-x64)"
  exit 77
fi

status=1
cleanup() {
  stop_wine "$prefix"
  if [ "$status" -eq 0 ] && [ "${ORVANE_WINE_KEEP:-0}" != 1 ]; then
    rm -rf "$prefix"
  fi
}
stop_wine "$prefix"  # a server left over from an earlier run
rm -rf "$dir"
mkdir -p "$dir"
trap cleanup EXIT
trap 'exit 143' TERM INT HUP  # stopped at a time limit: clean up all the same

if [ -f "$template/system.reg" ]; then
  copy_template "$template" "$prefix" || { echo "FAIL: could not copy $template"; exit 1; }
  echo "prefix: $prefix (a copy of $template)"
elif make_template "$prefix" "$dir/prefix.log"; then
  echo "prefix: $prefix (made afresh: no pristine prefix at $template)"
else
  echo "FAIL: could not make a prefix; see $dir/prefix.log"
  tail -n 20 "$dir/prefix.log"
  exit 1
fi

cp "$exe" "$prefix/drive_c/contract.exe"
wine_in "$prefix" "$CONTRACT_TIMEOUT" 'c:\contract.exe' >"$dir/contract.out" 2>"$dir/contract.err"
code=$?
sed 's/\r$//' "$dir/contract.out"
case $code in
  0) status=0 ;;
  1) echo "FAILED: see the cases above" ;;
  124 | 137) echo "FAIL: contract.exe did not end within $CONTRACT_TIMEOUT s" ;;
  *)
    echo "FAIL: contract.exe ended with $code; its error output:"
    tail -n 20 "$dir/contract.err"
    ;;
esac
exit "$status"
