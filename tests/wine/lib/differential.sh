# shellcheck shell=bash disable=SC2154
# (here, bits, work, template, setup_exe, fixtures, winsim and linux_setup are
# wine_e2e.sh's.)
# Run for run (README.md, "The Wine suite"): each run of a scenario as
# setup.exe in a Wine prefix and as the Linux setup on a simulated machine,
# then the two compared; a difference passes only when differences.txt lists
# it for this Windows version.

SCENARIOS=$here/scenarios.txt
DIFFERENCES=$here/differences.txt
WINE32_DLLS=/usr/lib/i386-linux-gnu/wine/i386-windows
# The PostScript driver files of Windows 95/98/ME, as `winsim create` lays
# them out in the system folder.
WIN9X_POSTSCRIPT=(Pscript.drv Pscript.hlp msprint.cat LWNT_470.SPD PSCRIPT.INI TESTPS.TXT
  APPLE380.SPD FONTS.MFM ICONLIB.DLL PSMON.DLL)

wine_version_of() {
  case $1 in
    xp) echo winxp ;; 2000) echo win2k ;; nt4) echo nt40 ;;
    98) echo win98 ;; me) echo winme ;; 95) echo win95 ;;
  esac
}
is_win9x() { case $1 in 95 | 98 | me) return 0 ;; esac; return 1; }

# The name differences.txt lists a version's differences under.
scope_of() { if [ "$bits" = 64 ]; then echo "$1-64bit"; else echo "$1"; fi; }

# listed SCOPE IDENTITY: differences.txt names IDENTITY for SCOPE (its first
# word: one scope, or several joined by commas).
listed() {
  S=$1 I=$2 awk '
    BEGIN { s = ENVIRON["S"]; i = ENVIRON["I"] }
    /^#/ || NF == 0 { next }
    {
      n = split($1, scopes, ",")
      for (k = 1; k <= n; k++) if (scopes[k] == s && substr($0, length($1) + 2) == i) found = 1
    }
    END { exit !found }' "$DIFFERENCES"
}

# The texts of the message boxes in a Wine run's error output (Wine's msgbox
# trace), in the journal's escaped form.
wine_boxes() {
  sed -n 's/^.*:trace:msgbox:MSGBOX_OnInit L"\(.*\)"$/\1/p' "$1" | sed 's/\\"/"/g'
}
# journal_text KIND: the text (the last field) of the journal's KIND lines.
journal_text() {
  awk -F'\t' -v kind="$1" '$1 == kind { print $NF }'
}
text_lines() {
  [ -f "$1" ] || return 0
  sed 's/\r$//' "$1" | grep -v '^$'
}
# The setup log's texts that a run added, from its change list.
log_added() {
  sed -n 's/^+\tlog [^\t]*\t//p' "$1"
}

# sequence_diff NAME FILE_WINE FILE_SIM: one "NAME <line>" for each line of
# either sequence that the other does not hold in the same order.
sequence_diff() {
  diff "$2" "$3" | sed -n "s/^[<>] /$1 /p"
}

# compare_run LABEL: what differs between the two sides' runs, one identity a
# line, in LABEL.differences; each side's lines for it in LABEL.detail.
compare_run() {
  local base=$dir/$1
  {
    [ "$WINE_CODE" = "$SIM_CODE" ] || echo "exit code"
    sequence_diff stdout <(text_lines "$base.wine.out") <(text_lines "$base.sim.out")
    sequence_diff box "$base.wine.boxtexts" "$base.sim.boxtexts"
    sequence_diff started "$base.wine.started" "$base.sim.started"
    sequence_diff log <(log_added "$base.wine.changes") <(log_added "$base.sim.changes")
    diff <(grep -v $'^.\tlog ' "$base.wine.changes" | LC_ALL=C sort) \
      <(grep -v $'^.\tlog ' "$base.sim.changes" | LC_ALL=C sort) |
      sed -n 's/^[<>] [-+]\t\([^\t]*\)\t.*$/\1/p'
  } | awk '!seen[$0]++' >"$base.differences"
}

# show_difference LABEL IDENTITY: both sides' lines for it.
show_difference() {
  local base=$dir/$1 identity=$2 side
  for side in wine sim; do
    case $identity in
      "exit code") echo "        $side: exit $( [ $side = wine ] && echo "$WINE_CODE" || echo "$SIM_CODE")" ;;
      stdout\ * | box\ * | started\ * | log\ *) ;;
      *) I=$identity awk -F'\t' -v side="$side" '$2 == ENVIRON["I"] { print "        " side ": " $1 " " $3 }' \
           "$base.$side.changes" ;;
    esac
  done
}

# wine_state FILE: the prefix's state, with what its spooler reports of
# printers, drivers and monitors (spooler_list.exe, which only a program
# inside the prefix can ask).
wine_state() {
  local environment="Windows NT x86"
  is_win9x "$version" && environment="Windows 4.0"
  "$winsim" state "$prefix" >"$1" || return 1
  wine_in "$prefix" 60 'c:\spooler_list.exe' "$environment" 2>/dev/null | sed 's/\r$//' >>"$1" &&
    stop_wine "$prefix"
}

# The Wine side of one run: SETUP_ARGS, KEYS answer the boxes.
wine_run() {
  local label=$1
  wine_state "$dir/$label.wine.before" || return 1
  local started_before=0
  [ -f "$prefix/drive_c/started.log" ] && started_before=$(wc -l <"$prefix/drive_c/started.log")
  ANSWERS=("${KEYS[@]}")
  # For setup.exe's process and what it starts: the recorder as rundll32.exe
  # (Wine would run its builtin one from the system folder) and, for 32 bits,
  # the test winspool.drv in c:\orvane.
  SETUP_OVERRIDES="rundll32.exe=n"
  [ "$bits" = 32 ] && SETUP_OVERRIDES="$SETUP_OVERRIDES;winspool.drv=n,b"
  run_setup "$dir" "$prefix" "$label.wine" "${SETUP_ARGS[@]}"
  WINE_CODE=$SETUP_CODE
  stop_wine "$prefix"
  wine_boxes "$dir/$label.wine.err" >"$dir/$label.wine.boxtexts"
  { [ -f "$prefix/drive_c/started.log" ] && tail -n "+$((started_before + 1))" \
      "$prefix/drive_c/started.log"; } | sed 's/\r$//; s/\\/\\\\/g' |
    awk -F'\t' '{ print tolower($1) "\t" $2 }' >"$dir/$label.wine.started"
  wine_state "$dir/$label.wine.after" || return 1
  "$winsim" diff "$dir/$label.wine.before" "$dir/$label.wine.after" >"$dir/$label.wine.changes"
}

# The simulator's side of the same run: the Yes/No keys become its answers.
sim_run() {
  local label=$1 key answers=()
  "$winsim" state "$machine" >"$dir/$label.sim.before" || return 1
  for key in "${KEYS[@]}"; do
    case $key in y) answers+=(yes) ;; n) answers+=(no) ;; esac
  done
  [ ${#answers[@]} -eq 0 ] || "$winsim" answer "$machine" "${answers[@]}" >/dev/null
  local events
  events=$("$winsim" journal "$machine" | wc -l)
  ORVANE_MACHINE=$machine "$linux_setup" "${SETUP_ARGS[@]}" \
    >"$dir/$label.sim.out" 2>"$dir/$label.sim.err" </dev/null
  SIM_CODE=$?
  "$winsim" journal "$machine" | tail -n "+$((events + 1))" >"$dir/$label.sim.journal"
  journal_text msgbox <"$dir/$label.sim.journal" >"$dir/$label.sim.boxtexts"
  # The program file that started, and its command line (the text).
  awk -F'\t' '$1 == "process" { ran = "none"
      for (i = 2; i < NF; i++) if ($i ~ /^ran=/) ran = substr($i, 5)
      print tolower(ran) "\t" $NF }' <"$dir/$label.sim.journal" >"$dir/$label.sim.started"
  "$winsim" diff "$dir/$label.sim.before" "$machine" >"$dir/$label.sim.changes"
}

# The product tree as `winsim create` lays it out, in both machines, with the
# test stand-ins that Wine needs (each answers one defect of Wine or one
# missing piece of a real machine; README.md says which).
lay_out_product() {
  local options=()
  [ "$POSTSCRIPT" = yes ] || options=(--without-postscript)
  "$winsim" create "$machine" --windows "$version" "${options[@]}" >"$dir/winsim.log" 2>&1 ||
    return 1
  local tree=$prefix/drive_c/orvane dll
  rm -rf "$tree"
  cp -r "$machine/drive_c/orvane" "$tree"
  cp "$setup_exe" "$tree/setup.exe"
  # The recorder where Windows keeps rundll32.exe: the Windows folder on
  # 95/98/ME (a Wine prefix has none there), the system folder on the NT family.
  if is_win9x "$version"; then
    cp "$fixtures/rundll32.exe" "$prefix/drive_c/windows/rundll32.exe"
  else
    cp "$fixtures/rundll32.exe" "$prefix/drive_c/windows/system32/rundll32.exe"
  fi
  cp "$fixtures/spooler_list.exe" "$prefix/drive_c/spooler_list.exe"
  for dll in orvmon.dll orvmona.dll orvmon95.dll orvmona95.dll; do
    cp "$fixtures/test_monitor.dll" "$tree/res/drivedir/$dll"
  done
  if [ "$bits" = 32 ]; then
    cp "$WINE32_DLLS/wineps.drv" "$tree/res/drivedir/pscript5.dll"
    cp "$WINE32_DLLS/wineps.drv" "$tree/res/drivedir/ps5ui.dll"
    cp "$fixtures/winspool.drv" "$fixtures/wspool32.dll" "$tree/"
    if is_win9x "$version" && [ "$POSTSCRIPT" = yes ]; then
      local win40=$prefix/drive_c/windows/system32/spool/drivers/win40 file
      mkdir -p "$win40"
      for file in "${WIN9X_POSTSCRIPT[@]}"; do
        cp "$machine/drive_c/WINDOWS/SYSTEM/$file" "$win40/$file"
      done
      cp "$WINE32_DLLS/wineps.drv" "$win40/Pscript.drv"
    fi
  fi
  rm -rf "$machine/drive_c/orvane"
  cp -r "$tree" "$machine/drive_c/orvane"
}

# The scenario's starting state, the same on both machines: START is "-" or
# items joined by commas (scenarios.txt).
apply_start() {
  local item tree
  IFS=',' read -ra items <<<"$1"
  for item in "${items[@]}"; do
    case $item in
      - | nopostscript) ;;  # nopostscript: lay_out_product
      quiet)
        for tree in "$prefix/drive_c/orvane" "$machine/drive_c/orvane"; do
          printf '[Parameters]\r\nQuiet=1\r\n' >"$tree/res/orvane.ini"
        done
        ;;
      companion)
        for tree in "$prefix/drive_c/orvane" "$machine/drive_c/orvane"; do
          mkdir -p "$tree/res/utilities"
          printf '<html><body>This is version 4.3 of Quorrix.</body></html>\r\n' \
            >"$tree/res/utilities/readme.html"
        done
        ;;
      plant)
        # Copies of the recorder where a bare "rundll32.exe" would be looked
        # for first: beside setup.exe and in the folder setup is started from.
        # Only Windows' own may start.
        for tree in "$prefix/drive_c" "$machine/drive_c"; do
          mkdir -p "$tree/Downloads"
          cp "$fixtures/rundll32.exe" "$tree/orvane/rundll32.exe"
          cp "$fixtures/rundll32.exe" "$tree/Downloads/rundll32.exe"
        done
        SETUP_CWD=Downloads
        sed -i 's/^current_directory=.*/current_directory=C:\\Downloads/' "$machine/machine.ini"
        ;;
      root)
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Orvane]\r\n"Path"="C:\\\\Program Files\\\\"\r\n\r\n' \
          >"$dir/root.reg"
        cp "$dir/root.reg" "$prefix/drive_c/root.reg"
        wine_in "$prefix" 60 regedit /S 'c:\root.reg' >/dev/null 2>&1 || return 1
        stop_wine "$prefix"
        "$winsim" reg-import "$machine" "$dir/root.reg" || return 1
        mkdir -p "$prefix/drive_c/Program Files/orvane/res/drivedir" \
          "$machine/drive_c/Program Files/orvane/res/drivedir"
        ;;
      *) echo "unknown start '$item' in scenarios.txt"; return 1 ;;
    esac
  done
}

# run_scenario NAME VERSION START RUNS: prints one line per run and each
# difference; sets SCENARIO_LISTED and SCENARIO_UNLISTED.
run_scenario() {
  local name=$1 start=$3 runs=$4
  version=$2
  dir=$work/$name
  prefix=$dir/prefix
  machine=$dir/machine
  SCENARIO_LISTED=0 SCENARIO_UNLISTED=0
  SETUP_CWD=orvane POSTSCRIPT=yes
  case ,$start, in *,nopostscript,*) POSTSCRIPT=no ;; esac
  stop_wine "$prefix"
  rm -rf "$dir"
  mkdir -p "$dir"
  echo "scenario $name ($version, $bits-bit setup.exe, start: $start): $runs"
  if ! copy_template "$template" "$prefix" ||
    { [ "$bits" = 32 ] && ! set_windows_version "$prefix" "$(wine_version_of "$version")" >/dev/null 2>&1; } ||
    ! stop_wine "$prefix" || ! lay_out_product || ! apply_start "$start"; then
    echo "FAIL: could not lay out the two machines (see $dir)"
    return 1
  fi
  start_display "$dir" || { echo "FAIL: Xvfb did not start: $(cat "$dir/xvfb.log")"; return 1; }
  local run number=0 label identity scope
  scope=$(scope_of "$version")
  IFS='|' read -ra steps <<<"$runs"
  for run in "${steps[@]}"; do
    read -ra words <<<"$run"
    number=$((number + 1))
    label=$number-${words[0]}
    KEYS=("${words[@]:1}")
    case ${words[0]} in
      install) SETUP_ARGS=() ;;
      uninstall) SETUP_ARGS=(uninstall) ;;
      reboot)
        wine_in "$prefix" 120 wineboot -r >/dev/null 2>&1
        stop_wine "$prefix"
        "$winsim" reboot "$machine"
        echo "  run $label: both machines restarted"
        continue
        ;;
      *) echo "FAIL: unknown run '${words[0]}' in scenarios.txt"; return 1 ;;
    esac
    wine_run "$label" && sim_run "$label" || { echo "FAIL: run $label could not be read"; return 1; }
    compare_run "$label"
    echo "  run $label: exit $WINE_CODE (Wine) and $SIM_CODE (simulator)," \
      "$(wc -l <"$dir/$label.differences") difference(s)"
    while IFS= read -r identity; do
      if listed "$scope" "$identity"; then
        SCENARIO_LISTED=$((SCENARIO_LISTED + 1))
        echo "    listed    $identity"
      else
        SCENARIO_UNLISTED=$((SCENARIO_UNLISTED + 1))
        echo "    UNLISTED  $identity"
        show_difference "$label" "$identity"
      fi
    done <"$dir/$label.differences"
  done
  stop_display
  stop_wine "$prefix"
  if [ "$SCENARIO_UNLISTED" -eq 0 ] && [ "${ORVANE_WINE_KEEP:-0}" != 1 ]; then
    rm -rf "$prefix"
  fi
  return 0
}

# run_scenarios version VERSION | scenario NAME
run_scenarios() {
  local kind=$1 subject=$2 rows name windows build start runs
  if [ "$kind" = version ]; then
    rows=$(awk -v v="$subject" -v b="$bits" '!/^#/ && NF && $2 == v && $3 == b' "$SCENARIOS")
  else
    rows=$(awk -v n="$subject" '!/^#/ && NF && $1 == n' "$SCENARIOS")
  fi
  [ -n "$rows" ] || { echo "FAIL: no scenario for $kind $subject, $bits-bit, in $SCENARIOS"; return 1; }
  trap 'stop_display; stop_wine "${prefix:-}"' EXIT
  trap 'exit 143' TERM INT HUP
  local scenarios=0 compared=0 listed_total=0 unlisted_total=0 last_windows=""
  while read -r name windows build start runs; do
    scenarios=$((scenarios + 1))
    last_windows=$windows
    if run_scenario "$name" "$windows" "$start" "$runs" </dev/null; then
      compared=$((compared + 1))
    fi
    listed_total=$((listed_total + SCENARIO_LISTED))
    unlisted_total=$((unlisted_total + SCENARIO_UNLISTED))
  done <<<"$rows"
  local label=$subject
  [ "$kind" = version ] || label="$last_windows ($subject)"
  [ "$bits" = 32 ] || label="$label (64-bit build)"
  echo "differential $label: scenarios=$scenarios compared=$compared" \
    "listed-differences=$listed_total unlisted=$unlisted_total"
  [ "$compared" -eq "$scenarios" ] && [ "$unlisted_total" -eq 0 ]
}
