# shellcheck shell=bash disable=SC2154
# (dir, prefix, product, fixtures and template are the scenario's, from wine_e2e.sh.)
# What an administrator finds after each run of setup.exe under Wine (sourced
# by wine_e2e.sh): registry, files, the setup log, standard output, message
# boxes and started programs. The prefix is a 64-bit Windows XP; the installer
# records a 32-bit Windows ("Windows NT x86"), and where the 64-bit Wine answers
# differently because of that, the checks say what Wine does and why.

PRINT='System\CurrentControlSet\Control\Print'
MONITOR_KEY="$PRINT\\Monitors\\ORVANE Monitor"
PORT_KEY="$MONITOR_KEY\\Ports\\ORVANEPORT"
DRIVER_KEY="$PRINT\\Environments\\Windows NT x86\\Drivers\\Version-3\\ORVANE Printer Driver"
PRINTER_KEY="$PRINT\\Printers\\ORVANE"
ARP_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane'

# The folder of setup.exe as GetModuleFileNameA gives it under Wine.
SETUP_DIR='C:\orvane'
# GetPrinterDriverDirectoryA for the local machine's own environment: on the
# 64-bit Wine that is "Windows x64", so the driver files go to ...\x64, where a
# 32-bit Windows XP answers ...\w32x86.
DRIVER_DIR_WIN='C:\windows\system32\spool\drivers\x64'
README_LINE='rundll32.exe url.dll,FileProtocolHandler c:\orvane\readme.html'

DRIVER_FILES=(Pscript.dll Orvaneui.dll Pscript.hlp ovps.PPD ovfonts.tbl
  orvaneps5.PPD pscript5.dll ps5ui.dll orvane.INI orvaneui5.DLL pscript.ntf)

# The log lines of one installation on this prefix.
install_log_lines() {
  local add_monitor=$1
  echo "is_winnt = TRUE"
  echo "is_win4 = TRUE"
  echo "Printer Driver Directory: $DRIVER_DIR_WIN"
  [ -z "$add_monitor" ] || echo "AddMonitor: $add_monitor"
  # Wine's AddPrinterA looks the driver up in the native 64-bit environment
  # ("Windows x64"), finds no "ORVANE Printer Driver" there (the installer
  # registers it for "Windows NT x86", as on a 32-bit Windows), and fails; the
  # last error then reads 87. A 32-bit Windows XP finds the driver in its own
  # environment and creates the printer, so it logs nothing here.
  echo "AddPrinter: 87"
}

# expect_run LABEL BOXES TEXTS: setup.exe ended by itself with 0 and showed
# exactly the message boxes BOXES ("N key" lines, each answered), whose texts,
# as Wine traced them, are TEXTS (one a line). Every box is captioned "setup",
# the program's file name: that is how the boxes were found.
expect_run() {
  local label=$1 boxes=$2 texts=$3
  check "$label: setup.exe ends with 0" "$SETUP_CODE" 0
  check "$label: message boxes shown and answered" "$(cat "$dir/$label.boxes")" "$boxes"
  check "$label: message box texts" "$(box_texts "$dir/$label.err")" "$texts"
}

CONFIRM_TEXT='Are your sure you want to uninstall orvane?'
CLOSING_TEXT='Please uninstall Quorrix if it is on your system and then delete c:\orvane and its contents from your computer to fully uninstall orvane.'

# Standard output of an installation: the progress lines in order. "Port found"
# follows "Enumerating ports" when ORVANEPORT is the first port EnumPortsA
# lists. Wine lists the ports monitor by monitor in the order it loaded the
# monitors: in a first installation AddMonitorA has just loaded the test
# monitor, so its port comes first; over an earlier installation AddMonitorA
# fails (3006, see below), Wine loads the monitors in registry order, "Local
# Port" first, and the line is missing. Windows orders the ports its own way.
expect_install_output() {
  local label=$1 port_found=$2
  check "$label: standard output" "$(text_lines "$dir/$label.out")" \
    "Initializing Spooler
Adding printer driver
Enumerating ports
${port_found:+Port found
}Adding printer
Configuring printer
Completing printer setup..."
}

# expect_installed LABEL RUNS: the state after RUNS installations in a row.
expect_installed() {
  local label=$1 runs=$2
  local flat=$dir/$label.system.flat
  reg_flatten "$prefix/system.reg" >"$flat"
  local port_found=""
  [ "$runs" -gt 1 ] || port_found=yes
  expect_install_output "$label" "$port_found"

  # The log: every run appends its lines. A run over an earlier installation
  # meets "ORVANE Monitor" still registered: the earlier-installation step
  # deletes the old keys with RegDeleteKeyA, which (on Windows NT and in Wine
  # alike) refuses a key with subkeys, and the monitor's key keeps its Ports
  # subkey and its "Driver" value; AddMonitorA then answers 3006.
  local expected_log run
  expected_log=$(install_log_lines "")
  for ((run = 2; run <= runs; run++)); do
    expected_log=$(printf '%s\n%s' "$expected_log" "$(install_log_lines 3006)")
  done
  check "$label: setup.log" "$(log_texts "$prefix/drive_c/orvane/res/drivedir/setup.log")" \
    "$expected_log"

  # The monitor, registered by AddMonitorA.
  check "$label: monitor DLL registered" "$(reg_value "$flat" "$MONITOR_KEY" Driver)" \
    "$(reg_sz orvmon.dll)"

  # The port's twelve values and nothing else.
  local rows=(
    "Arguments|$(reg_sz "@$SETUP_DIR\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -")"
    "Command|$(reg_sz "$SETUP_DIR\\res\\convert\\gswin32c.exe")"
    "Delay|$(reg_dword 300)"
    "Description|$(reg_sz "ORVANE Redirected Port")"
    "LogFileDebug|$(reg_dword 0)"
    "LogFileName|$(reg_sz "")"
    "LogFileUse|$(reg_dword 0)"
    "Output|$(reg_dword 1)"
    "Printer|$(reg_sz ORVANE)"
    "PrintError|$(reg_dword 0)"
    "RunUser|$(reg_dword 0)"
    "ShowWindow|$(reg_dword 2)"
  )
  local row name names=""
  for row in "${rows[@]}"; do
    name=${row%%|*}
    names="$names$name"$'\n'
    check "$label: port value $name" "$(reg_value "$flat" "$PORT_KEY" "$name")" "${row#*|}"
  done
  check "$label: the port key holds the twelve values only" \
    "$(reg_value_names "$flat" "$PORT_KEY")" "$(printf '%s' "$names" | LC_ALL=C sort)"

  # The version-3 driver as AddPrinterDriverA (level 6) registered it: file
  # names without their folder, as Windows stores them too.
  rows=(
    "Driver|$(reg_sz pscript5.dll)"
    "Data File|$(reg_sz orvaneps5.ppd)"
    "Configuration File|$(reg_sz ps5ui.dll)"
    "Help File|$(reg_sz Pscript.hlp)"
    "Dependent Files|$(reg_multi_sz orvaneps5.ppd orvane.INI orvaneui5.DLL pscript.ntf)"
    "Datatype|$(reg_sz RAW)"
    "Version|$(reg_dword 3)"
  )
  for row in "${rows[@]}"; do
    name=${row%%|*}
    check "$label: driver value $name" "$(reg_value "$flat" "$DRIVER_KEY" "$name")" "${row#*|}"
  done

  # The printer's data, byte for byte: Windows XP takes the version-3 files
  # and writes no font substitution table.
  check "$label: Default DevMode is ovdevmdnt5.dat" \
    "$(reg_value "$flat" "$PRINTER_KEY" "Default DevMode")" \
    "$(reg_binary_of "$product/res/drivedir/ovdevmdnt5.dat")"
  check "$label: PrinterData is ovprndata5.dat" \
    "$(reg_value "$flat" "$PRINTER_KEY\\PrinterDriverData" PrinterData)" \
    "$(reg_binary_of "$product/res/drivedir/ovprndata5.dat")"
  check "$label: no font substitution table on Windows XP" \
    "$(reg_value_names "$flat" "$PRINTER_KEY\\PrinterDriverData")" "PrinterData"
  # AddPrinterA failed (see the log above), so the printer's key holds only
  # what the installer wrote into it itself; on Windows the spooler's own
  # values (Port, Printer Driver, Print Processor, ...) would stand beside it.
  check_not "$label: no printer values from the spooler (AddPrinterA failed)" \
    reg_has_value "$flat" "$PRINTER_KEY" Port

  # Add/Remove Programs.
  check "$label: Add/Remove Programs name" "$(reg_value "$flat" "$ARP_KEY" DisplayName)" \
    "$(reg_sz Orvane)"
  check "$label: Add/Remove Programs command" "$(reg_value "$flat" "$ARP_KEY" UninstallString)" \
    "$(reg_sz 'c:\orvane\setup.exe uninstall')"

  # "Quiet" reset: the settings file holds the one key written.
  printf '[Parameters]\r\nQuiet=0\r\n' >"$dir/expected-orvane.ini"
  check_same_file "$label: orvane.ini holds Quiet=0" "$prefix/drive_c/orvane/res/orvane.ini" \
    "$dir/expected-orvane.ini"

  # The copied files, byte for byte.
  local sys32=$prefix/drive_c/windows/system32 file
  check_same_file "$label: system32\\orvmon.dll" "$sys32/orvmon.dll" "$fixtures/test_monitor.dll"
  check_same_file "$label: system32\\orvmona.dll" "$sys32/orvmona.dll" "$fixtures/test_monitor.dll"
  for file in "${DRIVER_FILES[@]}"; do
    check_same_file "$label: driver file $file" "$sys32/spool/drivers/x64/$file" \
      "$product/res/drivedir/$file"
  done

  # The readme, once per run, through the stand-in rundll32.exe in c:\orvane:
  # its log there shows that the program's own folder was searched first.
  local expected_readme=$README_LINE
  for ((run = 2; run <= runs; run++)); do expected_readme="$expected_readme"$'\n'"$README_LINE"; done
  check "$label: readme started" "$(text_lines "$prefix/drive_c/orvane/rundll32.log")" \
    "$expected_readme"
}

# Declining the confirmation changes nothing that setup.exe does. Wine's
# winspool.drv, though, when it loads into a process (setup.exe imports it),
# walks the keys under Printers and adds a "Name" value to any that lacks one;
# ORVANE's key, made by the installer itself after AddPrinterA failed, has
# none until then. Windows does not write into a printer's key on loading.
expect_declined() {
  local label=$1
  reg_flatten "$dir/installed.system.reg" >"$dir/installed.system.flat"
  reg_flatten "$prefix/system.reg" >"$dir/$label.system.flat"
  local name_row
  name_row="$(reg_key_form "$PRINTER_KEY")"$'\t'"Name"$'\t'"$(reg_sz ORVANE)"
  check "$label: the Print key is as the installation left it (and Wine's Name value)" \
    "$(reg_subtree "$dir/$label.system.flat" "$PRINT")" \
    "$({ reg_subtree "$dir/installed.system.flat" "$PRINT"; echo "$name_row"; } | LC_ALL=C sort)"
  check "$label: the Add/Remove Programs entry stays" \
    "$(reg_value "$dir/$label.system.flat" "$ARP_KEY" DisplayName)" "$(reg_sz Orvane)"
  check "$label: nothing logged" "$(log_texts "$prefix/drive_c/orvane/res/drivedir/setup.log")" \
    "$(install_log_lines "")"
  check "$label: nothing printed" "$(text_lines "$dir/$label.out")" ""
}

# After a confirmed removal.
expect_removed() {
  local label=$1
  local flat=$dir/$label.system.flat before=$dir/template.system.flat
  reg_flatten "$prefix/system.reg" >"$flat"
  reg_flatten "$template/system.reg" >"$before"

  local key
  for key in "$PRINTER_KEY" "$MONITOR_KEY" "$DRIVER_KEY" "$ARP_KEY"; do
    check_not "$label: $key is gone" reg_key_exists "$flat" "$key"
  done
  check "$label: the Print key is as before the installation, but for Wine's own keys" \
    "$(diff <(reg_subtree "$before" "$PRINT") <(reg_subtree "$flat" "$PRINT") | grep '^[<>]')" \
    "$(expected_print_residue)"

  # The removal deletes no file.
  local sys32=$prefix/drive_c/windows/system32 file
  check_that "$label: system32\\orvmon.dll stays" test -f "$sys32/orvmon.dll"
  check_that "$label: system32\\orvmona.dll stays" test -f "$sys32/orvmona.dll"
  for file in "${DRIVER_FILES[@]}"; do
    check_that "$label: driver file $file stays" test -f "$sys32/spool/drivers/x64/$file"
  done
  check_that "$label: the product folder stays" test -f "$prefix/drive_c/orvane/setup.exe"

  check "$label: setup.log" "$(log_texts "$prefix/drive_c/orvane/res/drivedir/setup.log")" \
    "$(install_log_lines "")
$(expected_uninstall_log)"
  check "$label: no further program started" \
    "$(text_lines "$prefix/drive_c/orvane/rundll32.log")" "$README_LINE"
  check "$label: nothing printed" "$(text_lines "$dir/$label.out")" ""
}

# What the removal logs under Wine. OpenPrinterA("ORVANE") fails (Wine's
# spooler knows a printer only from a key with its Port, Print Processor and
# Datatype, which AddPrinterA never wrote), so no printer is deleted and
# nothing is logged for it. The two lines that follow are last-error values
# left over from earlier calls, which the removal logs after any call whose
# value is non-zero: DeletePrinterDriverA and DeleteMonitorA succeed in Wine
# without setting the value. 1062 (ERROR_SERVICE_NOT_ACTIVE) comes from the
# spooler restart before them: Wine runs its spooler inside each process and
# its "Spooler" service is not running, so the stop request answers 1062.
# 183 (ERROR_ALREADY_EXISTS) comes from the log line just written: CreateFileA
# with OPEN_ALWAYS on the existing setup.log succeeds and sets 183, as on
# Windows.
expected_uninstall_log() {
  echo "DeletePrinterDriver: 1062"
  echo "DeleteMonitor: 183"
}

# Keys below Print that Wine itself leaves after an installation and removal:
# the empty "Version-3" keys of the two environments, made by Wine's
# AddPrinterDriverA ("Windows NT x86") and AddPrinterA (which opens the driver
# key of the native "Windows x64" environment, creating it). A Windows XP has
# its own "Windows NT x86\Drivers\Version-3" key from the start.
expected_print_residue() {
  local env
  for env in 'Windows NT x86' 'Windows x64'; do
    printf '> %s\t\n' "$(reg_key_form "$PRINT\\Environments\\$env\\Drivers\\Version-3")"
  done
}
