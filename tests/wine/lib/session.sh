# shellcheck shell=bash
# Wine and its display for one end-to-end scenario (sourced by wine_e2e.sh).
#
# Every Wine call runs under a time limit (timeout, then SIGKILL 5 s later),
# so that a hung program or server cannot hold up the suite. A scenario works
# in its own folder with its own copy of the pristine prefix and its own Xvfb
# display; both are stopped when the scenario ends, whatever happened.

# No Mono or Gecko prompt, no desktop menu entries written into $HOME, no debug
# noise.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=${ORVANE_WINEDEBUG:--all}

# use_wine 32|64: the Wine loader and prefix kind for the shipped 32-bit build
# (a win32 prefix, Wine's i386 loader) or the 64-bit one (a win64 prefix).
# Debian's "wine" command runs the i386 loader whenever wine32 is installed,
# so the 64-bit loader is named by its path there.
use_wine() {
  ARCH=$1
  if [ "$ARCH" = 32 ]; then
    export WINEARCH=win32
    WINE=${ORVANE_WINE32:-$(command -v /usr/lib/wine/wine || command -v wine)}
  else
    export WINEARCH=win64
    WINE=${ORVANE_WINE64:-$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine)}
  fi
  WINESERVER=${ORVANE_WINESERVER:-wineserver}
}
use_wine 64

# Whether this machine executes 32-bit x86 programs (scripts/can_run_i386.sh).
can_run_i386() {
  bash "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/can_run_i386.sh"
}

SETUP_TIMEOUT=${ORVANE_WINE_SETUP_TIMEOUT:-120}  # seconds for one run of setup.exe

# The tools a scenario needs that this machine lacks, one a line.
missing_tools() {
  local tool
  for tool in "$WINE" "$WINESERVER" timeout "$@"; do
    command -v "$tool" >/dev/null 2>&1 || echo "$tool"
  done
}

# wine_in PREFIX SECONDS ARGS...: one Wine call in PREFIX, at most SECONDS long.
wine_in() {
  local prefix=$1 seconds=$2
  shift 2
  WINEPREFIX=$prefix timeout -k 5 "$seconds" "$WINE" "$@"
}

# Waits until PREFIX's wineserver has ended, which also writes its registry
# files (system.reg, user.reg) to disk; kills it after a minute.
stop_wine() {
  local prefix=$1
  [ -d "$prefix" ] || return 0
  WINEPREFIX=$prefix timeout 60 "$WINESERVER" -w 2>/dev/null ||
    WINEPREFIX=$prefix timeout 20 "$WINESERVER" -k 2>/dev/null
  return 0
}

# Makes the pristine prefix of the current kind (use_wine) that every scenario
# copies: Windows XP, as Wine models it for that kind.
make_template() {
  local template=$1 log=$2 version=winxp
  [ "$ARCH" = 32 ] || version=winxp64
  rm -rf "$template"
  mkdir -p "$(dirname "$template")"
  {
    wine_in "$template" 240 wineboot --init &&
      set_windows_version "$template" "$version" &&
      # A crash must end the program, not wait for someone to close a dialog.
      wine_in "$template" 60 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f
  } >"$log" 2>&1
  local status=$?
  stop_wine "$template"
  [ $status -eq 0 ] && grep -q "\"Version\"=\"$version\"" "$template/user.reg"
}

# set_windows_version PREFIX NAME: the Windows Wine pretends to be (winxp,
# win2k, nt40, winme, win98, win95; winxp64 in a 64-bit prefix).
set_windows_version() {
  wine_in "$1" 60 reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d "$2" /f
}

# Copies the pristine prefix to PREFIX.
copy_template() {
  local template=$1 prefix=$2
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
}

XVFB_PID=""

# Starts a private Xvfb and points DISPLAY at it.
start_display() {
  local dir=$1 _
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  [ -s "$dir/display" ] || return 1
  DISPLAY=":$(head -n 1 "$dir/display")"
  export DISPLAY
}

stop_display() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  fi
}

# The visible windows captioned "setup": the message boxes of setup.exe.
setup_boxes() {
  xdotool search --onlyvisible --name '^setup$' 2>/dev/null
}

screenshot() {
  local window=$1 file=$2
  command -v import >/dev/null 2>&1 || return 0  # imagemagick is optional
  import -window "$window" "$file" 2>/dev/null || rm -f "$file"
}

# Gives WINDOW the keyboard focus and presses KEY, as a user at the keyboard
# would; true once the box has gone. Windows' message box takes Return for its
# default button and the underlined letter of a button ("y" for Yes, "n" for
# No). Without a window manager nothing else moves the focus.
answer_box() {
  local window=$1 key=$2 _
  for _ in 1 2 3; do
    xdotool windowfocus "$window" 2>/dev/null
    sleep 0.2
    xdotool key --clearmodifiers "$key" 2>/dev/null
    for _ in $(seq 25); do
      setup_boxes | grep -qx "$window" || return 0
      sleep 0.2
    done
  done
  return 1
}

# run_setup DIR PREFIX LABEL [ARGS...]: runs c:\orvane\setup.exe ARGS in PREFIX,
# from c:\orvane (or the folder SETUP_CWD names below C:\), and answers its
# message boxes in turn with the keys of the ANSWERS array (Return for any box beyond them). Leaves in DIR:
#   LABEL.out, LABEL.err   standard output and error; the error output holds
#                          Wine's trace of each message box's text
#   LABEL.boxes            one line per box: its number and the key pressed,
#                          "unexpected" after the key when ANSWERS had none left,
#                          "stuck" when the box did not close
#   LABEL-boxN.png         a screenshot of box N (with imagemagick)
# and sets SETUP_CODE to the exit code (124 or 137: killed at the time limit).
run_setup() {
  local dir=$1 prefix=$2 label=$3
  shift 3
  local base=$dir/$label
  : >"$base.boxes"
  (
    cd "$prefix/drive_c/${SETUP_CWD:-orvane}" &&
      WINEPREFIX=$prefix WINEDEBUG="$WINEDEBUG,trace+msgbox" \
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES${SETUP_OVERRIDES:+;$SETUP_OVERRIDES}" \
        exec timeout -k 5 "$SETUP_TIMEOUT" "$WINE" 'c:\orvane\setup.exe' "$@"
  ) >"$base.out" 2>"$base.err" &
  local pid=$! boxes=0 seen=" " window key note
  while kill -0 "$pid" 2>/dev/null; do
    for window in $(setup_boxes); do
      case $seen in *" $window "*) continue ;; esac
      seen="$seen$window "
      boxes=$((boxes + 1))
      key=${ANSWERS[boxes - 1]:-Return}
      note=""
      [ "$boxes" -le "${#ANSWERS[@]}" ] || note=" unexpected"
      sleep 0.3  # let the box paint before the picture is taken
      screenshot "$window" "$base-box$boxes.png"
      answer_box "$window" "$key" || note="$note stuck"
      echo "$boxes $key$note" >>"$base.boxes"
    done
    sleep 0.2
  done
  wait "$pid"
  # shellcheck disable=SC2034  # read by the checks (expect.sh)
  SETUP_CODE=$?
}
