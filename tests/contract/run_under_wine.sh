#!/usr/bin/env bash
# contract.exe under Wine in a fresh prefix: a copy of the pristine 64-bit XP
# prefix of wine.prefix64 (DIR/template64 unless --template), or one made here
# as tests/wine/lib/session.sh makes it; every Wine call under a time limit,
# the prefix removed afterwards (ORVANE_WINE_KEEP=1 keeps it).
#   run_under_wine.sh --exe FILE --work DIR [--template DIR]
# Exit: 0 every case passed, 1 a case failed or the run did not end, 77 skipped.
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
