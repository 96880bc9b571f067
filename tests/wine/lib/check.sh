# shellcheck shell=bash
# Checks and their report (sourced by wine_e2e.sh). Each check prints one line,
# "ok" or "FAIL" with the actual and the expected value; the scenario's exit
# code is the count of failures that decides pass or fail.

FAILURES=0

# check WHAT ACTUAL EXPECTED
check() {
  local what=$1 actual=$2 expected=$3
  if [ "$actual" == "$expected" ]; then
    printf 'ok    %s\n' "$what"
  else
    FAILURES=$((FAILURES + 1))
    printf 'FAIL  %s\n' "$what"
    printf '      actual:   %s\n' "${actual//$'\n'/$'\n'                }"
    printf '      expected: %s\n' "${expected//$'\n'/$'\n'                }"
  fi
}

# check_that WHAT COMMAND...: the command succeeds.
check_that() {
  local what=$1
  shift
  if "$@"; then
    printf 'ok    %s\n' "$what"
  else
    FAILURES=$((FAILURES + 1))
    printf 'FAIL  %s\n' "$what"
  fi
}

# check_not WHAT COMMAND...: the command fails.
check_not() {
  local what=$1
  shift
  if "$@"; then
    FAILURES=$((FAILURES + 1))
    printf 'FAIL  %s\n' "$what"
  else
    printf 'ok    %s\n' "$what"
  fi
}

# check_same_file WHAT ACTUAL_FILE EXPECTED_FILE: byte for byte.
check_same_file() {
  local what=$1 actual=$2 expected=$3
  if [ ! -f "$actual" ]; then
    check "$what" "(no file $actual)" "a copy of $expected"
  elif cmp -s "$actual" "$expected"; then
    printf 'ok    %s\n' "$what"
  else
    check "$what" "$(od -An -c "$actual" | head -n 3)" "$(od -An -c "$expected" | head -n 3)"
  fi
}

# Ends the scenario: 0 when every check held, else 1.
finish() {
  if [ "$FAILURES" -eq 0 ]; then
    echo "PASSED"
    return 0
  fi
  echo "FAILED: $FAILURES check(s)"
  return 1
}
