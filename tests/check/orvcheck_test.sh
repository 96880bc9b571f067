#!/usr/bin/env bash
# orvcheck_test.sh ORVCHECK SETUP WINSIM
#
# orvcheck as a user or a deployment tool runs it, on one machine folder
# through a life cycle: each row does a step, runs orvcheck and says what it
# must answer: the exit code and a line of its output, or with --json a JSON
# document that carries that exit code. The machine folder must come out of
# every orvcheck run byte for byte as it went in (name, inode, time, size, content).
set -uo pipefail
orvcheck=${1:?usage: orvcheck_test.sh ORVCHECK SETUP WINSIM} setup=${2:?} winsim=${3:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVANE_MACHINE=$work/M
failures=0
fingerprint() {
  [ ! -d "$ORVANE_MACHINE" ] ||
    (cd "$ORVANE_MACHINE" && find . -type f -printf '%p %i %T@ %s\n' -exec sha256sum {} + | sort)
}
# row NAME CODE TEXT ORVCHECK_ARGS...
row() {
  local name=$1 code=$2 text=$3 before wrong=
  shift 3
  before=$(fingerprint)
  "$orvcheck" "$@" >"$work/out" 2>"$work/err"
  local actual=$?
  [ "$actual" -eq "$code" ] || wrong+=" exit $actual, not $code;"
  if [ "${1:-}" = --json ]; then
    python3 -c 'import json, sys; sys.exit(json.load(sys.stdin)["exit_code"] != int(sys.argv[1]))' \
      "$code" <"$work/out" 2>/dev/null || wrong+=" no JSON document with \"exit_code\": $code;"
  fi
  cat "$work/err" >>"$work/out"
  grep -qF -- "$text" "$work/out" || wrong+=" no \"$text\";"
  [ "$before" = "$(fingerprint)" ] || wrong+=" the machine folder changed;"
  if [ -n "$wrong" ]; then
    failures=$((failures + 1))
    printf 'FAIL %s:%s\n%s\n' "$name" "$wrong" "$(sed 's/^/    /' "$work/out")"
  else
    printf 'ok   %s\n' "$name"
  fi
}

row "no machine" 3 "no machine at"
row "an unknown argument" 3 "usage: orvcheck" --verbose
"$winsim" create "$ORVANE_MACHINE" >/dev/null
row "before setup: not installed" 1 "Orvane is not installed"
"$setup" >/dev/null 2>&1
row "after setup: whole" 0 "Orvane is installed whole"
row "after setup, as JSON" 0 '"verdict": "whole"' --json
rm -f -- "$(find "$ORVANE_MACHINE/drive_c" -ipath '*/spool/drivers/w32x86/3/orvaneps5.ppd')"
row "the spooler's copy of the PPD deleted: named" 2 'w32x86\3\orvaneps5.ppd'
"$winsim" answer "$ORVANE_MACHINE" yes >/dev/null
"$setup" uninstall >/dev/null 2>&1
row "after the removal: only its residue" 0 "only what a removal leaves" --after-uninstall
row "after the removal, as JSON" 0 '"verdict": "removed"' --json --after-uninstall
row "after the removal: not installed" 1 "Orvane is not installed"
[ "$failures" -eq 0 ] && echo "all rows passed" || { echo "$failures row(s) failed"; exit 1; }
