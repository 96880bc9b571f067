#!/usr/bin/env bash
# planted_faults.sh [--tree DIR] [--build DIR] [--list FILE] [ID...]
#
# Plants the faults of the list (tests/faults/planted.txt; all, or those named)
# one at a time in the source tree, rebuilds the test programs, runs the fast
# suite and says whether it caught each. The tree must pass unmodified first.
# Every planted file gets its own text back, also when the run is interrupted;
# a restored file is newer than its object, so the next build recompiles it.
set -uo pipefail
usage() { sed -n '2,2s/^# //p' "$0" >&2; exit 2; }
tree=$(cd "$(dirname "$0")/.." && pwd) build= list=
while [ $# -gt 0 ]; do
  case $1 in
    --tree) tree=${2:?}; shift 2 ;;
    --build) build=${2:?}; shift 2 ;;
    --list) list=${2:?}; shift 2 ;;
    -h | --help | --*) usage ;;
    *) break ;;
  esac
done
build=${build:-$tree/build/dev}
list=${list:-$tree/tests/faults/planted.txt}
[ -f "$list" ] && [ -d "$tree/src" ] && [ -f "$build/CMakeCache.txt" ] || usage
targets=(setup winsim orvcheck winsim_tests setup_tests contract_sim campaign_tests check_tests)
work=$(mktemp -d)
planted=  # the file holding a fault right now; its text is in $work/original

restore() {
  if [ -n "$planted" ]; then
    cat "$work/original" >"$tree/$planted" && touch "$tree/$planted"
    planted=
  fi
}
trap 'restore; rm -rf "$work"' EXIT
trap 'echo "interrupted: the tree is restored" >&2; exit 130' INT TERM

# The list: a header "ID KIND TEST SOURCE", "- " old lines, "+ " new lines, ": " seen.
ids=() kinds=() srcs=() olds=() news=()
n=-1
while IFS= read -r line || [ -n "$line" ]; do
  case $line in
    '#'* | '' | ':'*) ;;
    '-'*) olds[n]+=${olds[n]:+$'\n'}${line:2} ;;
    '+'*) news[n]+=${news[n]:+$'\n'}${line:2} ;;
    *)
      n=$((n + 1))
      read -r ids[n] kinds[n] _ srcs[n] <<<"$line"
      olds[n]= news[n]= ;;
  esac
done <"$list"

# edit FILE [check]: replaces $OLD by $NEW in FILE, which must hold it exactly once.
edit() {
  python3 - "$@" <<'PY'
import os, sys
path, old, new = sys.argv[1], os.environ["OLD"], os.environ["NEW"]
text = open(path, encoding="utf-8", newline="").read()
if text.count(old) != 1:
    sys.exit(f"{path}: the old text is there {text.count(old)} times, not once:\n{old}")
if len(sys.argv) == 2:
    open(path, "w", encoding="utf-8", newline="").write(text.replace(old, new))
PY
}

wanted() {
  [ $# -eq 1 ] && return 0
  local id
  for id in "${@:2}"; do [ "$id" = "$1" ] && return 0; done
  return 1
}

# Every chosen fault is checked before anything is planted.
chosen=()
for i in $(seq 0 "$n"); do
  wanted "${ids[i]}" "$@" || continue
  [ -f "$tree/${srcs[i]}" ] || { echo "${ids[i]}: no file ${srcs[i]}" >&2; exit 1; }
  OLD=${olds[i]} NEW=${news[i]} edit "$tree/${srcs[i]}" check || { echo "${ids[i]}: stop" >&2; exit 1; }
  chosen+=("$i")
done
for id in "$@"; do
  printf '%s\n' "${ids[@]}" | grep -qxF -- "$id" || { echo "no fault $id in $list" >&2; exit 1; }
done

build_tests() { cmake --build "$build" -j2 --target "${targets[@]}" >"$work/build.log" 2>&1; }
run_suite() {
  ctest --test-dir "$build" -LE 'wine|campaign|reproducible' -j2 --timeout 120 \
    >"$work/ctest.log" 2>&1
}
failing() {
  sed -n '/The following tests FAILED/,$p' "$work/ctest.log" |
    sed -nE 's/^[[:space:]]+[0-9]+ - ([^ ]+).*/\1/p' | head -3 | paste -sd, -
}

if ! build_tests; then
  tail -20 "$work/build.log"; echo "the unmodified tree does not build" >&2; exit 1
fi
if ! run_suite; then
  echo "the unmodified tree fails: $(failing)" >&2; exit 1
fi

caught=0 missed=0 unbuilt=0
for i in "${chosen[@]}"; do
  cp "$tree/${srcs[i]}" "$work/original"
  planted=${srcs[i]}
  OLD=${olds[i]} NEW=${news[i]} edit "$tree/$planted" || exit 1
  if ! build_tests; then
    result=unbuilt unbuilt=$((unbuilt + 1)) tests=$(grep -m1 'error' "$work/build.log")
  elif run_suite; then
    result=MISSED missed=$((missed + 1)) tests=
  else
    result=caught caught=$((caught + 1)) tests=$(failing)
  fi
  restore
  printf '%-5s %-18s %-7s %s\n' "${ids[i]}" "${kinds[i]}" "$result" "$tests"
done
build_tests || echo "the restored tree does not build again: see $build" >&2
echo "planted=${#chosen[@]} caught=$caught missed=$missed"
[ "$unbuilt" -eq 0 ] || { echo "unbuilt=$unbuilt: faults that do not compile" >&2; exit 1; }
