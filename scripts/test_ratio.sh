#!/usr/bin/env bash
# The size of the test tree against the code it tests, in lines of the files
# git tracks: every text file under tests/ (the fuzz seed corpora and images
# aside) against src/, tools/, bench/, scripts/, cmake/ and the top
# CMakeLists.txt. Prints both counts and their ratio; exits 1 above the limit
# given as the first argument (a ratio, e.g. 0.36), if one is given.
set -euo pipefail
cd "$(dirname "$0")/.."

lines() {
  git ls-files -z -- "$@" |
    grep -zv -e '^tests/fuzz/corpus/' -e '\.\(png\|jpg\|bmp\|ico\)$' |
    xargs -0 -r grep -Ic '' /dev/null | awk -F: '{n += $NF} END {print n + 0}'
}

tests=$(lines tests)
code=$(lines src tools bench scripts cmake CMakeLists.txt)
awk -v t="$tests" -v c="$code" -v limit="${1:-}" 'BEGIN {
  r = t / c
  printf "tests %d lines, code %d lines: %.2f\n", t, c, r
  exit (limit != "" && r > limit + 0) ? 1 : 0 }'
