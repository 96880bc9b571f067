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
  printf 'Subsystem\t\t%s\n\nThe Import Tables (interpreted .idata section contents)\n' \
    "${SUBSYSTEM:-00000002 (Windows GUI)}"
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
  "source k95 = a Windows 95 export list"
  "source knt = an NT export list"
  "KERNEL32.dll!Sleep | Windows 95 | Windows NT 3.51 | k95 679, knt 0523"
  "USER32.dll!MessageBoxA | Windows 95 | Windows NT 3.1 | k95"
  "msvcrt.dll!memcpy | Windows 95 + IE 4.0 | Windows NT 4.0 | knt; needed by libstdc++"
)
failures=0
# row NAME EXPECTED_CODE EXPECTED_TEXT [gui|console]: runs the check on
# $work/dump and $work/list.
row() {
  local name=$1 expected_code=$2 expected_text=$3 output code
  output=$(FAKE_DUMP="$work/dump" bash "$here/check_imports.sh" "$work/setup.exe" \
    "$work/list" "$work/objdump" ${4:-} 2>&1)
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

dump pei-i386 4 0 KERNEL32.dll!Sleep KERNEL32.dll!GetFileAttributesExA >"$work/dump"
row "an unlisted import fails" 1 "KERNEL32.dll!GetFileAttributesExA is imported but not in the allowlist"

dump pei-i386 4 0 KERNEL32.dll!sleep >"$work/dump"
row "function names compare exactly" 1 "KERNEL32.dll!sleep is imported but not in the allowlist"

dump pei-i386 4 0 KERNEL32.dll!Sleep >"$work/dump"
list "${good_list[@]}" "KERNEL32.dll!GetFileAttributesExA | Windows 98 | Windows NT 4.0 | k95 874" >"$work/list"
row "a function Windows 95 lacks fails" 1 "needs Windows 98, newer than Windows 95"

list "${good_list[@]}" "KERNEL32.dll!GetTickCount64 | Windows 95 | Windows Vista | knt" >"$work/list"
row "a function NT 4.0 lacks fails" 1 "needs Windows Vista, newer than Windows NT 4.0"

list "${good_list[@]}" "KERNEL32.dll!Beep | see remarks | Windows NT 3.1 | knt" >"$work/list"
row "an unknown release fails" 1 "unknown Windows 95 family release 'see remarks'"

list "${good_list[@]}" "KERNEL32.dll!Beep | Windows 95 | Windows NT 3.1 | k95, msdn" >"$work/list"
row "an undefined source fails" 1 "cites 'msdn', which no 'source msdn = ...' line defines"

list "${good_list[@]}" "KERNEL32.dll!Sleep | Windows 95 | Windows NT 3.1 | knt" >"$work/list"
row "a name listed twice fails" 1 "KERNEL32.dll!Sleep is listed twice"

list "${good_list[@]}" "KERNEL32.dll!Beep | Windows 95 | Windows NT 3.1" >"$work/list"
row "a row without its sources fails" 1 "not of the form"

list "${good_list[@]}" >"$work/list"
dump pei-i386 5 0 KERNEL32.dll!Sleep >"$work/dump"
row "subsystem version 5.0 fails" 1 "asks for subsystem version 5.0"

dump pei-i386 4 0 KERNEL32.dll!Sleep >"$work/dump"
row "subsystem version 4.0 passes" 0 "subsystem version 4.0"

SUBSYSTEM="00000003 (Windows CUI)" dump pei-i386 4 0 KERNEL32.dll!Sleep >"$work/dump"
row "a console program passes as one" 0 "passed" console
row "a console program is no windowed one" 1 "is not a windowed (GUI subsystem) program"
dump pei-i386 4 0 KERNEL32.dll!Sleep >"$work/dump"
row "a windowed program is no console one" 1 "is not a console (CUI subsystem) program" console

dump pei-x86-64 4 0 KERNEL32.dll!Sleep >"$work/dump"
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
