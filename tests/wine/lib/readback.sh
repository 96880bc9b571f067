# shellcheck shell=bash
# Reading back what a run left in a Wine prefix (sourced by wine_e2e.sh).
#
# The registry is read from the prefix's own files once its wineserver has
# ended (system.reg holds HKEY_LOCAL_MACHINE, user.reg HKEY_CURRENT_USER).
# Values are compared in the text form those files give them, which states
# type and data exactly:
#   "text"            REG_SZ whose data is the text and one terminating zero
#   dword:0000012c    REG_DWORD
#   hex:4f,72,...     REG_BINARY, byte for byte
#   str(7):"a\0b\0"   REG_MULTI_SZ: each string with its zero, then the final zero
# Anything else (a REG_SZ without its terminating zero, for instance) shows in
# another form, hex(1):..., and so differs from what the checks expect.

# reg_flatten REGFILE: one line per key ("key<TAB>") and one per value
# ("key<TAB>name<TAB>data"), the key lower-cased and escaped as the file writes
# it ("system\\currentcontrolset\\..."), wrapped hex data joined into one line.
reg_flatten() {
  awk '
    function emit(line,   at, name, data) {
      if (line ~ /^@=/) { print key "\t@\t" substr(line, 3); return }
      if (match(line, /^"([^"\\]|\\.)*"=/)) {
        name = substr(line, 2, RLENGTH - 3)
        data = substr(line, RLENGTH + 1)
        print key "\t" name "\t" data
      }
    }
    {
      sub(/\r$/, "")
      if (joining) {
        line = pending; sub(/^[ \t]+/, "", $0); line = line $0
      } else {
        line = $0
      }
      if (line ~ /\\$/ && line !~ /^\[/) {
        pending = substr(line, 1, length(line) - 1); joining = 1; next
      }
      joining = 0
      if (line ~ /^\[/) {
        key = line; sub(/^\[/, "", key); sub(/\][^]]*$/, "", key); key = tolower(key)
        print key "\t"
        next
      }
      if (line ~ /^[#;]/ || line == "") next
      emit(line)
    }' "$1"
}

# The escaped, lower-cased form of KEY ("System\CurrentControlSet\...").
reg_key_form() {
  local key=${1//\\/\\\\}
  printf '%s' "${key,,}"
}

# reg_value FLAT KEY NAME: the value's data in the file's text form; status 1
# when there is no such value.
reg_value() {
  K=$(reg_key_form "$2") N=$3 awk -F'\t' '
    BEGIN { k = ENVIRON["K"]; n = ENVIRON["N"] }
    NF >= 3 && $1 == k && $2 == n { sub(/^[^\t]*\t[^\t]*\t/, ""); print; found = 1; exit }
    END { exit !found }' "$1"
}

# reg_has_value FLAT KEY NAME: quietly, whether KEY has the value NAME.
reg_has_value() {
  reg_value "$@" >/dev/null
}

# reg_key_exists FLAT KEY
reg_key_exists() {
  K=$(reg_key_form "$2") awk -F'\t' '
    BEGIN { k = ENVIRON["K"] } $1 == k { found = 1; exit } END { exit !found }' "$1"
}

# reg_value_names FLAT KEY: the names of KEY's values, sorted, one a line.
reg_value_names() {
  K=$(reg_key_form "$2") awk -F'\t' '
    BEGIN { k = ENVIRON["K"] } NF >= 3 && $1 == k { print $2 }' "$1" | LC_ALL=C sort
}

# reg_subtree FLAT KEY: every line of KEY and of the keys below it, sorted.
reg_subtree() {
  K=$(reg_key_form "$2") awk -F'\t' '
    BEGIN { k = ENVIRON["K"]; below = k "\\\\" }
    $1 == k || index($1, below) == 1' "$1" | LC_ALL=C sort
}

# Expected values in the same text form.
reg_escape() {
  local text=${1//\\/\\\\}
  printf '%s' "${text//\"/\\\"}"
}
reg_sz() { printf '"%s"' "$(reg_escape "$1")"; }
reg_dword() { printf 'dword:%08x' "$1"; }
reg_multi_sz() {
  local item out=""
  for item in "$@"; do out="$out$(reg_escape "$item")\\0"; done
  printf 'str(7):"%s"' "$out"
}
# The bytes of FILE as a REG_BINARY value.
reg_binary_of() {
  printf 'hex:%s' "$(od -An -v -tx1 "$1" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
}

# log_texts FILE: the texts of the setup log's lines, each without its time
# stamp ("%m-%d-%y: %H:%M", no separator before the text) and its "\r\n"; a
# line without a well-formed stamp is shown as "UNSTAMPED: <line>".
log_texts() {
  [ -f "$1" ] || return 0
  sed 's/\r$//' "$1" | awk '{
    if (match($0, /^[0-1][0-9]-[0-3][0-9]-[0-9][0-9]: [0-2][0-9]:[0-5][0-9]/)) print substr($0, RLENGTH + 1)
    else print "UNSTAMPED: " $0 }'
}

# box_texts FILE: the texts of the message boxes shown, in order, from Wine's
# "msgbox" trace in a run's error output (one line each; Wine writes the text
# as a C string, so "\\" and "\"" are unescaped here).
box_texts() {
  [ -f "$1" ] || return 0
  sed -n 's/^.*:trace:msgbox:MSGBOX_OnInit L"\(.*\)"$/\1/p' "$1" |
    sed 's/\\\\/\x01/g; s/\\"/"/g; s/\x01/\\/g'
}

# The non-empty lines of a file, "\r" removed.
text_lines() {
  [ -f "$1" ] || return 0
  sed 's/\r$//' "$1" | grep -v '^$'
}
