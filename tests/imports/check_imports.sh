#!/usr/bin/env bash
# check_imports.sh SETUP_EXE ALLOWLIST OBJDUMP [gui|console]
#
# Reads the import table of a shipped 32-bit program (setup.exe, or with
# "console" orvcheck.exe) with OBJDUMP (the i686 MinGW objdump) and checks it
# against ALLOWLIST (setup_exe_imports.txt).
# Windows' loader refuses to start a program that imports a function its DLLs
# do not export, so every import must exist on the oldest Windows the product
# names: Windows 95 (with Internet Explorer 4.0) and Windows NT 4.0.
#   - every imported DLL!function is listed (DLL names compare without regard
#     to case, as the loader compares them; function names exactly);
#   - every row names, for each family, a release no newer than Windows 95
#     (+ IE 4.0) and Windows NT 4.0 (+ IE 4.0), and cites sources that the
#     allowlist defines;
#   - the file is a 32-bit Windows GUI program (with "console": a console
#     program) whose subsystem version
#     (MajorSubsystemVersion.MinorSubsystemVersion in the PE header) is at most
#     4.0: it is the lowest version of Windows the program asks for, and
#     Windows 95 and NT 4.0 are version 4.0.
# Listed functions that the program does not import, and sources no row
# cites, are reported, not failed.
# Exit: 0 passed, 1 failed, 77 skipped (no setup.exe or no objdump: the MinGW
# build has not run on this machine).
set -uo pipefail

if [ $# -ne 3 ] && { [ $# -ne 4 ] || [[ $4 != gui && $4 != console ]]; }; then
  echo "usage: check_imports.sh SETUP_EXE ALLOWLIST OBJDUMP [gui|console]" >&2
  exit 2
fi
exe=$1 allowlist=$2 objdump=$3 subsystem=${4:-gui}

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

# The releases a row may name, and the later ones it is refused for.
oldest_9x() { case $1 in "Windows 95" | "Windows 95 + IE 4.0") return 0 ;; esac; return 1; }
oldest_nt() {
  case $1 in
    "Windows NT 3.1" | "Windows NT 3.5" | "Windows NT 3.51" | "Windows NT 4.0" | \
      "Windows NT 4.0 + IE 4.0") return 0 ;;
  esac
  return 1
}
later_windows() {
  case $1 in
    "Windows 95 OSR"* | "Windows 98"* | "Windows ME"* | "Windows Me"* | "Windows NT 4.0 SP"* | \
      "Windows 2000"* | "Windows XP"* | "Windows Server"* | "Windows Vista"* | "Windows 7"* | \
      "Windows 8"* | "Windows 10"* | "Windows 11"*) return 0 ;;
  esac
  return 1
}

trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

# --- The allowlist: "source KEY = what and where" lines, then rows
#     "DLL!function | Windows 95 family | Windows NT family | KEY [locator], ... [; note]".
declare -A sources=() cited=() allowed=()
while IFS= read -r line; do
  if [[ $line =~ ^source[[:space:]]+([A-Za-z0-9_-]+)[[:space:]]*=[[:space:]]*[^[:space:]] ]]; then
    sources[${BASH_REMATCH[1]}]=1
  fi
done <"$allowlist"

line_no=0
while IFS= read -r line || [ -n "$line" ]; do
  line_no=$((line_no + 1))
  case $line in "" | "#"* | "source "*) continue ;; esac
  IFS='|' read -r name win9x nt cites extra <<<"$line"
  name=$(trim "$name") win9x=$(trim "${win9x:-}") nt=$(trim "${nt:-}")
  cites=$(trim "${cites%%;*}")
  where="$allowlist:$line_no"
  if [ -n "${extra:-}" ] || [ -z "$cites" ] || [ -z "$nt" ] || [[ $name != *!* ]]; then
    fail "$where: not of the form 'DLL!function | Windows 95 family | Windows NT family | sources': $line"
    continue
  fi
  dll=${name%%!*} function=${name#*!}
  key="${dll,,}!$function"
  if [ -n "${allowed[$key]:-}" ]; then
    fail "$where: $name is listed twice"
  fi
  allowed[$key]=$name
  if oldest_9x "$win9x"; then :
  elif later_windows "$win9x"; then fail "$where: $name needs $win9x, newer than Windows 95"
  else fail "$where: $name: unknown Windows 95 family release '$win9x'"
  fi
  if oldest_nt "$nt"; then :
  elif later_windows "$nt"; then fail "$where: $name needs $nt, newer than Windows NT 4.0"
  else fail "$where: $name: unknown Windows NT family release '$nt'"
  fi
  IFS=',' read -ra items <<<"$cites"
  for item in "${items[@]}"; do
    read -r source _ <<<"$item"
    if [ -z "${sources[$source]:-}" ]; then
      fail "$where: $name cites '$source', which no 'source $source = ...' line defines"
    fi
    cited[$source]=1
  done
done <"$allowlist"

# --- The program's import table and header.
dump=$("$objdump" -p "$exe" 2>&1) || {
  echo "$dump"
  fail "$objdump could not read $exe"
  exit 1
}

grep -q 'file format pei-i386' <<<"$dump" || fail "$exe is not a 32-bit Windows program"
if [ "$subsystem" = console ]; then
  grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$dump" ||
    fail "$exe is not a console (CUI subsystem) program"
else
  grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" ||
    fail "$exe is not a windowed (GUI subsystem) program"
fi
major=$(awk '$1 == "MajorSubsystemVersion" {print $2}' <<<"$dump")
minor=$(awk '$1 == "MinorSubsystemVersion" {print $2}' <<<"$dump")
if [ -z "$major" ] || [ -z "$minor" ]; then
  fail "no subsystem version in the PE header of $exe"
elif [ "$major" -gt 4 ] || { [ "$major" -eq 4 ] && [ "$minor" -gt 0 ]; }; then
  fail "$exe asks for subsystem version $major.$minor; Windows 95 and NT 4.0 are 4.0"
else
  echo "ok: subsystem version $major.$minor (Windows 95 and NT 4.0 are 4.0)"
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
for source in "${!sources[@]}"; do
  [ -n "${cited[$source]:-}" ] || echo "note: source $source is cited by no row"
done | sort

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "passed: every import of $exe is allowed, and Windows 95 (+ IE 4.0) and NT 4.0 have each"
