#!/usr/bin/env bash
# check_reproducible.sh SOURCE_DIR
#
# A build anyone can check: builds the programs of the mingw-x86 preset (the
# shipped setup.exe and the contract program) from two copies of SOURCE_DIR at
# two different paths, the second build starting later and linking again after
# a pause so that no two links fall in the same second, and compares the
# programs byte for byte. Prints each program's SHA-256.
# The two builds run side by side to keep this to a minute or two.
# Exit: 0 the same bytes, 1 a program differs or a build failed, 77 skipped
# (no MinGW compiler or cmake).
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: check_reproducible.sh SOURCE_DIR" >&2
  exit 2
fi
source_dir=$(cd "$1" && pwd) || exit 2
for tool in cmake i686-w64-mingw32-g++-win32 sha256sum cmp tar; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is missing, so the mingw-x86 programs cannot be built here"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Different lengths as well as different names: a path that is written into a
# program moves everything after it.
first=$work/a/orvane
second=$work/second-build/of/orvane-setup

# The tree as it stands, without build folders and git's store.
copy_tree() {
  mkdir -p "$1"
  tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$1" -xf -
}
build() {
  (cd "$1" && cmake --preset mingw-x86 && cmake --build --preset mingw-x86 -j2) >>"$1.log" 2>&1
}
programs() { (cd "$1/build/mingw-x86" && ls -- *.exe 2>/dev/null); }

copy_tree "$first"
copy_tree "$second"
build "$first" &
first_job=$!
sleep 2
build "$second"
second_status=$?
wait "$first_job"
first_status=$?
for tree in "$first" "$second"; do
  status=$first_status
  [ "$tree" = "$second" ] && status=$second_status
  if [ "$status" -ne 0 ]; then
    echo "FAIL: the build in $tree failed:"
    tail -30 "$tree.log"
    exit 1
  fi
done
# Link the second build's programs again, in a later second than any link of
# the first.
sleep 1
rm -f "$second"/build/mingw-x86/*.exe
build "$second" || { echo "FAIL: linking again in $second failed:"; tail -30 "$second.log"; exit 1; }

failures=0
names=$(programs "$first")
if [ -z "$names" ]; then
  echo "FAIL: the mingw-x86 build made no programs"
  exit 1
fi
if [ "$names" != "$(programs "$second")" ]; then
  echo "FAIL: the two builds made different programs: $(echo $names) / $(echo $(programs "$second"))"
  failures=$((failures + 1))
fi
for name in $names; do
  one=$first/build/mingw-x86/$name two=$second/build/mingw-x86/$name
  printf '%s  %s (first build)\n' "$(sha256sum <"$one" | cut -d' ' -f1)" "$name"
  printf '%s  %s (second build)\n' "$(sha256sum <"$two" | cut -d' ' -f1)" "$name"
  if cmp -s "$one" "$two"; then
    echo "ok: $name is the same in both builds"
  else
    failures=$((failures + 1))
    echo "FAIL: $name differs; first differing bytes (offset, octal values):"
    cmp -l "$one" "$two" | head -5
    if grep -aqF "$second" "$two"; then
      echo "  it holds the path of its source tree"
    fi
  fi
done

if [ "$failures" -gt 0 ]; then
  exit 1
fi
echo "passed: two builds at two paths and two times give the same programs"
