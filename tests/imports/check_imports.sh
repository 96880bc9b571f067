#!/usr/bin/env bash
# check_imports.sh SETUP_EXE ALLOWLIST OBJDUMP
#
# Reads the import table of the shipped 32-bit setup.exe with OBJDUMP (the
# i686 MinGW objdump) and checks it against ALLOWLIST (setup_exe_imports.txt):
#   - every imported DLL!function is listed (DLL names compare without regard
#     to case, as Windows' loader compares them; function names exactly);
#   - every listed minimum supported client is Windows XP or older, or the
#     msvcrt.dll marker "system C run-time" with its reason;
#   - the file is a 32-bit Windows GUI program whose subsystem version
#     (MajorSubsystemVersion.MinorSubsystemVersion in the PE header) is at most
#     5.1: Windows XP's loader refuses a program that asks for a newer one.
# Listed functions that the program does not import are reported, not failed.
# Exit: 0 passed, 1 failed, 77 skipped (no setup.exe or no objdump: the MinGW
# build has not run on this machine).
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: check_imports.sh SETUP_EXE ALLOWLIST OBJDUMP" >&2
  exit 2
fi
exe=$1 allowlist=$2 objdump=$3

if [ ! -f "$exe" ]; then
  echo "SKIP: $exe is missing (build it: cmake --preset mingw-x86 && cmake --build --preset mingw-x86)"
  exit 77
fi
if ! command -v "$objdump" >/dev/null 2>&1; then
  echo "SKIP: no i686 MinGW objdump ($objdump)"
  exit 77
fi
if [ ! -f "$allowlist" ]; then
  echo "FAIL: allowlist $allowlist is missing"
  exit 1
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Minimums at or below Windows XP, as Microsoft's pages write them.
old_enough() {
  case $1 in
    "Windows 95" | "Windows 98" | "Windows NT 3.1" | "Windows NT 4.0" | \
      "Windows 2000 Professional" | "Windows XP") return 0 ;;
  esac
  return 1
}
newer_than_xp() {
  case $1 in
    "Windows Vista"* | "Windows 7"* | "Windows 8"* | "Windows 10"* | "Windows 11"* | \
      "Windows XP with SP"* | "Windows Server"*) return 0 ;;
  esac
  return 1
}

trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

# --- The allowlist: "DLL!function | minimum | note".
declare -A allowed=()
line_no=0
while IFS= read -r line || [ -n "$line" ]; do
  line_no=$((line_no + 1))
  case $line in "" | "#"*) continue ;; esac
  IFS='|' read -r name minimum note extra <<<"$line"
  name=$(trim "$name") minimum=$(trim "$minimum") note=$(trim "${note:-}")
  where="$allowlist:$line_no"
  if [ -n "${extra:-}" ] || [ -z "$note" ] || [[ $name != *!* ]]; then
    fail "$where: not of the form 'DLL!function | minimum | note': $line"
    continue
  fi
  dll=${name%%!*} function=${name#*!}
  key="${dll,,}!$function"
  if [ -n "${allowed[$key]:-}" ]; then
    fail "$where: $name is listed twice"
  fi
  allowed[$key]=$name
  if [ "$minimum" = "system C run-time" ]; then
    [ "${dll,,}" = "msvcrt.dll" ] ||
      fail "$where: only msvcrt.dll exports are the system C run-time, not $name"
  elif newer_than_xp "$minimum"; then
    fail "$where: $name needs $minimum, newer than Windows XP"
  elif ! old_enough "$minimum"; then
    fail "$where: $name: unknown minimum '$minimum'"
  fi
done <"$allowlist"

# --- The program's import table and header.
dump=$("$objdump" -p "$exe" 2>&1) || {
  echo "$dump"
  fail "$objdump could not read $exe"
  exit 1
}

grep -q 'file format pei-i386' <<<"$dump" || fail "$exe is not a 32-bit Windows program"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" ||
  fail "$exe is not a windowed (GUI subsystem) program"
major=$(awk '$1 == "MajorSubsystemVersion" {print $2}' <<<"$dump")
minor=$(awk '$1 == "MinorSubsystemVersion" {print $2}' <<<"$dump")
if [ -z "$major" ] || [ -z "$minor" ]; then
  fail "no subsystem version in the PE header of $exe"
elif [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 1 ]; }; then
  fail "$exe asks for subsystem version $major.$minor; Windows XP is 5.1"
else
  echo "ok: subsystem version $major.$minor (Windows XP is 5.1)"
fi

# Import blocks: "\tDLL Name: X", a header line, then one "\t<vma>\t<hint> <name>"
# line per function, ended by an empty line. An import by ordinal alone shows
# "<none>" as its name and is refused below like any unlisted import.
imports=$(awk '
  /^\tDLL Name: / { dll = $3; next }
  /^$/ { dll = "" }
  dll != "" && /^\t[0-9a-f]+\t/ && NF >= 3 { print dll "!" $3 }' <<<"$dump" | sort -u)
if [ -z "$imports" ]; then
  fail "no import table found in $exe"
fi

declare -A imported=()
count=0
while IFS= read -r name; do
  [ -n "$name" ] || continue
  count=$((count + 1))
  dll=${name%%!*} function=${name#*!}
  key="${dll,,}!$function"
  imported[$key]=1
  [ -n "${allowed[$key]:-}" ] || fail "$name is imported but not in the allowlist"
done <<<"$imports"
echo "ok: $count imports read"

for key in "${!allowed[@]}"; do
  [ -n "${imported[$key]:-}" ] || echo "note: ${allowed[$key]} is allowed but not imported"
done | sort

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "passed: every import of $exe is allowed, and none needs more than Windows XP"
