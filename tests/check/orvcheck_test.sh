#!/usr/bin/env bash
# orvcheck_test.sh ORVCHECK SETUP WINSIM
#
# orvcheck as a user or a deployment tool runs it, on one machine folder
# through a life cycle: each row does a step, runs orvcheck and says what it
# must answer (exit code and a line of its output). The machine folder must
# come out of every orvcheck run byte for byte as it went in.
set -uo pipefail
if [ $# -ne 3 ]; then
  echo "usage: orvcheck_test.sh ORVCHECK SETUP WINSIM" >&2
  exit 2
fi
orvcheck=$1 setup=$2 winsim=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVANE_MACHINE=$work/M

failures=0
# Every file of the machine folder: name, inode, time, size and content, so
# that a save of the same bytes shows too.
fingerprint() {
  [ -d "$ORVANE_MACHINE" ] || return 0
  (cd "$ORVANE_MACHINE" && find . -type f -printf '%p %i %T@ %s\n' -exec sha256sum {} + | sort)
}
# row NAME EXPECTED_CODE EXPECTED_TEXT ORVCHECK_ARGS...
row() {
  local name=$1 expected_code=$2 expected_text=$3 before after output code
  shift 3
  before=$(fingerprint)
  output=$("$orvcheck" "$@" 2>&1)
  code=$?
  after=$(fingerprint)
  if [ "$code" -ne "$expected_code" ] || ! grep -qF -- "$expected_text" <<<"$output" ||
    [ "$before" != "$after" ]; then
    failures=$((failures + 1))
    printf 'FAIL %s\n  actual:   exit %s%s\n%s\n  expected: exit %s with "%s"\n' "$name" \
      "$code" "$([ "$before" = "$after" ] || echo ', the machine folder changed')" \
      "$(sed 's/^/    /' <<<"$output")" "$expected_code" "$expected_text"
  else
    printf 'ok   %s\n' "$name"
  fi
}
# The --json output alone must be a JSON document.
json_row() {
  local name=$1 code
  "$orvcheck" --json "${@:2}" >"$work/out.json" 2>/dev/null
  code=$?
  if python3 -m json.tool "$work/out.json" >/dev/null 2>"$work/json.err"; then
    row "$name: exit $code, the document parses" "$code" '"exit_code": '"$code" --json "${@:2}"
  else
    failures=$((failures + 1))
    printf 'FAIL %s: not JSON: %s\n' "$name" "$(cat "$work/json.err")"
  fi
}

row "no machine" 3 "no machine at"
row "an unknown argument" 3 "usage: orvcheck" --verbose
"$winsim" create "$ORVANE_MACHINE" >/dev/null
row "before setup: not installed" 1 "Orvane is not installed"
"$setup" >/dev/null 2>&1
row "after setup: whole" 0 "Orvane is installed whole"
json_row "after setup"
ppd=$(find "$ORVANE_MACHINE/drive_c" -ipath '*/spool/drivers/w32x86/3/orvaneps5.ppd')
rm -f -- "$ppd"
row "the spooler's copy of the PPD deleted: named" 2 'w32x86\3\orvaneps5.ppd'
"$winsim" answer "$ORVANE_MACHINE" yes >/dev/null
"$setup" uninstall >/dev/null 2>&1
row "after the removal: only its residue" 0 "only what a removal leaves" --after-uninstall
json_row "after the removal" --after-uninstall
row "after the removal: not installed" 1 "Orvane is not installed"

if [ "$failures" -gt 0 ]; then
  echo "$failures row(s) failed"
  exit 1
fi
echo "all rows passed"
