#!/usr/bin/env bash
# The import check itself, run against made-up objdump listings and
# allowlists: each row says what the check must answer (exit code and a line
# of its output), so that a check that passes everything is caught.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A stand-in objdump that prints the listing named by $FAKE_DUMP.
printf '#!/bin/sh\ncat "$FAKE_DUMP"\n' >"$work/objdump"
chmod +x "$work/objdump"
: >"$work/setup.exe"

# An objdump -p listing: FORMAT, subsystem MAJOR MINOR, then DLL!function items.
dump() {
  local format=$1 major=$2 minor=$3
  shift 3
  printf '\nsetup.exe:     file format %s\n\n' "$format"
  printf 'MajorSubsystemVersion\t%s\nMinorSubsystemVersion\t%s\n' "$major" "$minor"
  printf 'Subsystem\t\t00000002\t(Windows GUI)\n\nThe Import Tables (interpreted .idata section contents)\n'
  local dll="" item
  for item in "$@"; do
    if [ "${item%%!*}" != "$dll" ]; then
      [ -z "$dll" ] || printf '\n'
      dll=${item%%!*}
      printf '\tDLL Name: %s\n\tvma:  Hint/Ord Member-Name Bound-To\n' "$dll"
    fi
    printf '\t4350\t  12  %s\n' "${item#*!}"
  done
  printf '\n'
}

list() {
  printf '# made-up allowlist\n'
  printf '%s\n' "$@"
}

good_list=(
  "KERNEL32.dll!Sleep | Windows XP | learn.microsoft.com/x"
  "USER32.dll!MessageBoxA | Windows 2000 Professional | learn.microsoft.com/y"
  "msvcrt.dll!memcpy | system C run-time | needed by libstdc++"
)

failures=0
# row NAME EXPECTED_CODE EXPECTED_TEXT: runs the check on $work/dump and $work/list.
row() {
  local name=$1 expected_code=$2 expected_text=$3 output code
  output=$(FAKE_DUMP="$work/dump" bash "$here/check_imports.sh" "$work/setup.exe" \
    "$work/list" "$work/objdump" 2>&1)
  code=$?
  if [ "$code" -ne "$expected_code" ] || ! grep -qF -- "$expected_text" <<<"$output"; then
    failures=$((failures + 1))
    printf 'FAIL %s\n  actual:   exit %s\n%s\n  expected: exit %s with "%s"\n' \
      "$name" "$code" "$(sed 's/^/    /' <<<"$output")" "$expected_code" "$expected_text"
  else
    printf 'ok   %s\n' "$name"
  fi
}

dump pei-i386 4 0 KERNEL32.dll!Sleep USER32.dll!MessageBoxA msvcrt.dll!memcpy >"$work/dump"
list "${good_list[@]}" >"$work/list"
row "every import listed" 0 "passed"

dump pei-i386 4 0 kernel32.dll!Sleep user32.dll!MessageBoxA MSVCRT.DLL!memcpy >"$work/dump"
row "DLL names compare without regard to case" 0 "passed"

dump pei-i386 4 0 KERNEL32.dll!Sleep KERNEL32.dll!GetTickCount64 >"$work/dump"
row "an unlisted import fails" 1 "KERNEL32.dll!GetTickCount64 is imported but not in the allowlist"

dump pei-i386 4 0 KERNEL32.dll!sleep >"$work/dump"
row "function names compare exactly" 1 "KERNEL32.dll!sleep is imported but not in the allowlist"

dump pei-i386 4 0 KERNEL32.dll!Sleep >"$work/dump"
list "${good_list[@]}" "KERNEL32.dll!GetTickCount64 | Windows Vista | learn.microsoft.com/z" >"$work/list"
row "a minimum newer than XP fails" 1 "needs Windows Vista, newer than Windows XP"

list "${good_list[@]}" "KERNEL32.dll!Beep | see remarks | learn.microsoft.com/z" >"$work/list"
row "an unknown minimum fails" 1 "unknown minimum 'see remarks'"

list "${good_list[@]}" "KERNEL32.dll!lstrlenA | system C run-time | needed by nobody" >"$work/list"
row "only msvcrt.dll is the C run-time" 1 "only msvcrt.dll exports are the system C run-time"

list "${good_list[@]}" "KERNEL32.dll!Sleep | Windows XP | again" >"$work/list"
row "a name listed twice fails" 1 "KERNEL32.dll!Sleep is listed twice"

list "KERNEL32.dll!Sleep | Windows XP" >"$work/list"
row "a row without its note fails" 1 "not of the form"

list "${good_list[@]}" >"$work/list"
dump pei-i386 6 0 KERNEL32.dll!Sleep >"$work/dump"
row "subsystem version 6.0 fails" 1 "asks for subsystem version 6.0"

dump pei-i386 5 1 KERNEL32.dll!Sleep >"$work/dump"
row "subsystem version 5.1 passes" 0 "subsystem version 5.1"

dump pei-x86-64 5 2 KERNEL32.dll!Sleep >"$work/dump"
row "a 64-bit program fails" 1 "is not a 32-bit Windows program"

dump pei-i386 4 0 >"$work/dump"
row "no import table fails" 1 "no import table found"

rm -f "$work/setup.exe"
row "no setup.exe is skipped" 77 "SKIP"

if [ "$failures" -gt 0 ]; then
  echo "$failures row(s) failed"
  exit 1
fi
echo "all rows passed"
