#!/usr/bin/env bash
# orvcheck_test.sh ORVCHECK SETUP WINSIM: orvcheck as a user or a deployment tool
# runs it, on one machine folder through a life cycle. A row runs orvcheck and
# names the exit code and a line of its output (with --json: a JSON document
# carrying that exit code); the folder must come out byte for byte as it went in.
set -uo pipefail
orvcheck=${1:?usage: orvcheck_test.sh ORVCHECK SETUP WINSIM} setup=${2:?} winsim=${3:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVANE_MACHINE=$work/M
failures=0
fingerprint() { [ ! -d "$ORVANE_MACHINE" ] || (cd "$ORVANE_MACHINE" &&
  find . -type f -printf '%p %i %T@ %s\n' -exec sha256sum {} + | sort); }
row() {  # row NAME CODE TEXT ORVCHECK_ARGS...
  local name=$1 code=$2 text=$3 before wrong= actual
  shift 3
  before=$(fingerprint)
  "$orvcheck" "$@" >"$work/out" 2>"$work/err"
  actual=$?
  [ "$actual" -eq "$code" ] || wrong+=" exit $actual;"
  [ "${1:-}" != --json ] || python3 -c 'import json, sys
sys.exit(json.load(sys.stdin)["exit_code"] != int(sys.argv[1]))' "$code" <"$work/out" 2>/dev/null ||
    wrong+=" no JSON document with exit_code $code;"
  grep -qF -- "$text" "$work/out" "$work/err" || wrong+=" no \"$text\";"
  [ "$before" = "$(fingerprint)" ] || wrong+=" the machine folder changed;"
  [ -z "$wrong" ] || { failures=$((failures + 1)); echo "FAIL $name:$wrong"; cat "$work"/out; }
}

row "no machine" 3 "no machine at"
row "an unknown argument" 3 "usage: orvcheck" --verbose
"$winsim" create "$ORVANE_MACHINE" >/dev/null
row "before setup" 1 "Orvane is not installed"
"$setup" >/dev/null 2>&1
row "after setup" 0 "Orvane is installed whole"
row "after setup, as JSON" 0 '"verdict": "whole"' --json
rm -f -- "$(find "$ORVANE_MACHINE/drive_c" -ipath '*/spool/drivers/w32x86/3/orvaneps5.ppd')"
row "the spooler's copy of the PPD deleted" 2 'w32x86\3\orvaneps5.ppd'
"$winsim" answer "$ORVANE_MACHINE" yes >/dev/null
"$setup" uninstall >/dev/null 2>&1
row "after the removal" 0 "only what a removal leaves" --after-uninstall
row "after the removal, as JSON" 0 '"verdict": "removed"' --json --after-uninstall
row "after the removal, installed?" 1 "Orvane is not installed"
echo "$failures row(s) failed"
[ "$failures" -eq 0 ]
