#!/usr/bin/env bash
# run_under_wine.sh EXE WORK [TEMPLATE]: contract.exe under Wine in a copy of
# the pristine 64-bit prefix (WORK/template64 unless TEMPLATE), or in one made
# here as tests/wine/lib/session.sh makes it; the prefix goes afterwards unless
# ORVANE_WINE_KEEP=1 or a case failed.
# Exit: 0 every case passed, 1 a case failed or the run did not end, 77 skipped.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../wine/lib/session.sh
source "$here/../wine/lib/session.sh"

[ $# -ge 2 ] && [ $# -le 3 ] || { sed -n '2p' "$0" >&2; exit 2; }
exe=$1 template=${3:-$2/template64} dir=$2/contract prefix=$2/contract/prefix
limit=${ORVANE_CONTRACT_TIMEOUT:-120}  # seconds for contract.exe

missing=$(missing_tools)
[ -z "$missing" ] || { echo "SKIP: not installed: $(tr '\n' ' ' <<<"$missing")"; exit 77; }
[ -f "$exe" ] || { echo "SKIP: no $exe (cmake --preset mingw-x64, then build contract)"; exit 77; }

status=1
cleanup() {
  stop_wine "$prefix"
  [ "$status" -ne 0 ] || [ "${ORVANE_WINE_KEEP:-0}" = 1 ] || rm -rf "$prefix"
}
stop_wine "$prefix"  # a server left over from an earlier run
rm -rf "$dir" && mkdir -p "$dir"
trap cleanup EXIT
trap 'exit 143' TERM INT HUP  # stopped at a time limit: clean up all the same

if [ -f "$template/system.reg" ]; then
  copy_template "$template" "$prefix" || { echo "FAIL: could not copy $template"; exit 1; }
elif ! make_template "$prefix" "$dir/prefix.log"; then
  echo "FAIL: could not make a prefix; see $dir/prefix.log"
  tail -n 20 "$dir/prefix.log"
  exit 1
fi

cp "$exe" "$prefix/drive_c/contract.exe"
wine_in "$prefix" "$limit" 'c:\contract.exe' >"$dir/contract.out" 2>"$dir/contract.err"
code=$?
sed 's/\r$//' "$dir/contract.out"
case $code in
  0) status=0 ;;
  1) echo "FAILED: see the cases above" ;;
  124 | 137) echo "FAIL: contract.exe did not end within $limit s" ;;
  *) echo "FAIL: contract.exe ended with $code; its error output:"; tail -n 20 "$dir/contract.err" ;;
esac
exit "$status"
