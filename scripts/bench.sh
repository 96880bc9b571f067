#!/usr/bin/env bash
# Reproduces every figure in BENCHMARKS.md:
#
#   scripts/bench.sh [sim] [copy] [suite] [wine]     (no argument: all four)
#
#   sim    install, uninstall and their cycle per Windows family on a machine
#          held in memory; loading and saving a machine folder
#   copy   CopyFileChecked against cp --reflink=never (1, 64, 256 MiB), and
#          the peak memory of each in a process of its own
#   suite  the wall time of `ctest --preset dev` without the Wine tests, the
#          Wine tests apart, and the fault campaign when there is one
#   wine   setup.exe's install under Wine against the pauses it makes
#
# Figures are medians: ORVANE_BENCH_REPS repetitions of each Google Benchmark
# (default 5), ORVANE_BENCH_RUNS runs of each whole program (default 3). The
# raw results (JSON, logs) go to build/bench/results; the summary to stdout.
# Nothing here is a test: a figure past its target is reported, not failed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build/bench/results
disk=$root/build/bench/scratch  # a folder on the disk that holds the tree
reps=${ORVANE_BENCH_REPS:-5}
runs=${ORVANE_BENCH_RUNS:-3}
jobs=$(nproc 2>/dev/null || echo 2)
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(sim copy suite wine)
mkdir -p "$out" "$disk"

scripts/deps.sh
# jq reads the benchmarks' JSON; GNU time measures cp's peak memory.
for p in jq time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$p"
done

# The median of the numbers on standard input, one a line.
median() {
  sort -g | awk '{v[NR] = $1} END {
    if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2];
    else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# gbench NAME PROGRAM [ARGS...]: runs a Google Benchmark program with
# repetitions; its JSON in $out/NAME.json, its console output in $out/NAME.log.
gbench() {
  local name=$1
  shift
  "$@" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/$name.json" --benchmark_out_format=json >"$out/$name.log" 2>&1
}

# The median of one benchmark's real time, in its unit, from $out/NAME.json.
gmedian() {
  jq -r --arg run "$2" '.benchmarks[] | select(.run_name == $run and
    .aggregate_name == "median") | .real_time' "$out/$1.json"
}

build_bench() {
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$jobs" --target install_bench copy_bench copy_peak \
    setup winsim >/dev/null
}

echo "== machine"
{
  echo "nproc: $(nproc)"
  echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
  echo "kernel: $(uname -r)"
  echo "memory: $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "compiler: $(c++ --version | head -n 1)"
  echo "disk under the tree: $(stat -f -c %T "$disk")"
  echo "/dev/shm: $(stat -f -c %T /dev/shm 2>/dev/null || echo none)"
  echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$out/machine.txt"

bench_sim() {
  echo "== sim: setup on a machine in memory (median of $reps repetitions, wall time)"
  build_bench
  gbench sim build/bench/bench/install_bench
  # per second: iterations per second of wall time; per CPU second: the same
  # from the process's CPU time, which other load on the host disturbs less.
  { echo "benchmark wall_us cpu_us per_second per_cpu_second"
    jq -r '.benchmarks[] | select(.aggregate_name == "median") |
      [(.run_name | sub("/real_time$"; "")), (.real_time | round), (.cpu_time | round),
       (1e6 / .real_time | round), (1e6 / .cpu_time | round)] | @tsv' "$out/sim.json"
  } | column -t
  echo "-- folder load and save with the folder on the disk ($disk)"
  ORVANE_BENCH_DIR=$disk gbench sim-disk build/bench/bench/install_bench \
    --benchmark_filter='^folder_'
  { echo "benchmark wall_us cpu_us"
    jq -r '.benchmarks[] | select(.aggregate_name == "median") |
      [(.run_name | sub("/real_time$"; "")), (.real_time | round), (.cpu_time | round)] |
      @tsv' "$out/sim-disk.json"
  } | column -t
}

bench_copy() {
  echo "== copy: CopyFileChecked against cp --reflink=never (median of $reps repetitions)"
  build_bench
  local where mib cfc cp
  for where in /dev/shm "$disk"; do
    [ -d "$where" ] || continue
    local name
    name=copy-$(stat -f -c %T "$where" | tr '/' '-')
    ORVANE_BENCH_DIR=$where gbench "$name" build/bench/bench/copy_bench
    local start
    start=$(gmedian "$name" "cp/0/real_time")
    echo "-- in $where ($(stat -f -c %T "$where")); target: ratio >= 0.8"
    echo "   ratio: cp's time over CopyFileChecked's (throughput ratio); without start:"
    printf "   the same with cp's process start (%.2f ms, an empty file) taken off\n" "$start"
    printf '%-8s %16s %10s %7s %14s\n' size CopyFileChecked cp ratio "without start"
    for mib in 1 64 256; do
      cfc=$(gmedian "$name" "copy_file_checked/$mib/real_time")
      cp=$(gmedian "$name" "cp/$mib/real_time")
      awk -v m="$mib" -v a="$cfc" -v b="$cp" -v s="$start" 'BEGIN {
        printf "%-8s %13.2f ms %7.2f ms %7.2f %14.2f\n", m " MiB", a, b, b / a, (b - s) / a }'
    done
  done

  echo "-- peak memory, one process per copy (median of $runs runs of each)"
  echo "   target: VmHWM <= size + 16 MiB"
  printf '%-8s %22s %18s %14s\n' size "copy_peak VmHWM" "cp max RSS" limit
  local tmp=$disk/peak
  mkdir -p "$tmp"
  for mib in 1 64 256; do
    local ours=() theirs=()
    dd if=/dev/urandom of="$tmp/src" bs=1M count="$mib" status=none
    for _ in $(seq "$runs"); do
      ours+=("$(ORVANE_BENCH_DIR=$disk build/bench/bench/copy_peak "$mib" |
        sed -n 's/.*hwm_after_kib=\([0-9]*\).*/\1/p')")
      theirs+=("$(/usr/bin/time -f %M cp --reflink=never "$tmp/src" "$tmp/dst" 2>&1)")
    done
    awk -v m="$mib" -v a="$(printf '%s\n' "${ours[@]}" | median)" \
      -v b="$(printf '%s\n' "${theirs[@]}" | median)" 'BEGIN {
        limit = m * 1024 + 16384
        printf "%-8s %14d KiB %-5s %14d KiB %10d KiB\n", m " MiB", a,
          (a <= limit ? "met" : "over"), b, limit }'
  done
  rm -rf "$tmp"
}

# suite_runs NAME CTEST_ARGS...: the median wall time of $runs runs of ctest.
suite_runs() {
  local name=$1 times=() i start status
  shift
  for i in $(seq "$runs"); do
    start=$(date +%s%N)
    status=0
    ctest --preset dev -j "$jobs" "$@" >"$out/$name-$i.log" 2>&1 || status=$?
    times+=("$(( ($(date +%s%N) - start) / 1000000 ))")
    echo "run $i: ${times[-1]} ms;" \
      "$(grep -E 'tests passed' "$out/$name-$i.log" || echo "status $status")"
  done
  echo "median: $(printf '%s\n' "${times[@]}" | median) ms; the slowest tests of run 1:"
  awk '/Test +#/ {for (i = 1; i <= NF; i++) if ($i == "sec") print "  " $(i - 1) " s  " $4}' \
    "$out/$name-1.log" | sort -g -r -k1 | head -n 3
}

bench_suite() {
  echo "== suite: ctest --preset dev -j $jobs -E wine (median of $runs runs)"
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs" >/dev/null
  suite_runs suite -E wine
  echo "-- the same without the fault campaign's test: -E 'wine|campaign'"
  suite_runs suite-no-campaign -E 'wine|campaign'

  echo "-- the Wine tests apart (wine.*, contract.wine): ctest --preset dev -R wine (one run)"
  local start status
  start=$(date +%s%N)
  status=0
  ctest --preset dev -R wine >"$out/suite-wine.log" 2>&1 || status=$?
  echo "$(( ($(date +%s%N) - start) / 1000000 )) ms;" \
    "$(grep -E 'tests passed' "$out/suite-wine.log" || echo "status $status")"

  echo "-- fault campaign: fault_campaign --machines 500 (bench build; median of $runs runs)"
  if cmake --preset bench >/dev/null &&
    cmake --build --preset bench -j "$jobs" --target fault_campaign >/dev/null 2>&1; then
    local rates=() i
    for i in $(seq "$runs"); do
      build/bench/fault_campaign --machines 500 >"$out/campaign-$i.log" 2>&1 || true
      rates+=("$(sed -n 's/.*(\([0-9.]*\) machines\/s).*/\1/p' "$out/campaign-$i.log")")
      echo "run $i: $(grep -E 'runs in' "$out/campaign-$i.log");" \
        "$(tail -n 1 "$out/campaign-$i.log")"
    done
    echo "median: $(printf '%s\n' "${rates[@]}" | median) machines/s"
  else
    echo "no fault campaign to build (no target fault_campaign)"
  fi
}

bench_wine() {
  echo "== wine: setup.exe installs on Windows XP (64-bit) under Wine, against its pauses"
  # The pauses the installer makes on this path, from its own journal on the
  # simulator (the same program logic; the clock there is virtual).
  build_bench
  local sim=$out/wine-sim-machine
  rm -rf "$sim"
  build/bench/winsim create "$sim" --windows xp >/dev/null
  ORVANE_MACHINE=$sim build/bench/setup </dev/null >/dev/null 2>&1
  local pauses
  pauses=$(build/bench/winsim journal "$sim" |
    awk -F'\t' '$1 == "sleep" {s += $2} END {print s + 0}')
  echo "pauses the install makes on XP: $pauses ms"

  local missing=""
  for tool in wine wineserver Xvfb xdotool x86_64-w64-mingw32-g++; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
  done
  if [ -n "$missing" ]; then
    echo "skipped: not installed:$missing"
    return 0
  fi
  cmake --preset mingw-x64 -B build/bench/mingw-x64 >/dev/null
  cmake --build build/bench/mingw-x64 -j "$jobs" >/dev/null
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs" --target wine_fixtures winsim >/dev/null

  # shellcheck source=tests/wine/lib/session.sh
  source tests/wine/lib/session.sh
  local work=$root/build/bench/wine fixtures=$root/build/dev/tests/wine/fixtures
  mkdir -p "$work"
  if [ ! -f "$work/template/system.reg" ]; then
    make_template "$work/template" "$work/template.log" || {
      echo "skipped: no Wine prefix could be made (see $work/template.log)"
      return 0
    }
  fi
  # setup.exe's own wall time: wine started through a wrapper that times it.
  cat >"$work/timed-wine" <<'EOF'
#!/bin/sh
start=$(date +%s%N)
wine "$@"
code=$?
echo $(( ($(date +%s%N) - start) / 1000000 )) >"$ORVANE_BENCH_TIME_FILE"
exit $code
EOF
  chmod +x "$work/timed-wine"
  start_display "$work" || {
    echo "skipped: Xvfb did not start"
    return 0
  }
  local kind i dir prefix cold=() warm=()
  for i in $(seq "$runs"); do
    for kind in cold warm; do
      dir=$work/$kind-$i
      prefix=$dir/prefix
      rm -rf "$dir"
      mkdir -p "$dir"
      copy_template "$work/template" "$prefix"
      build/bench/winsim create "$dir/machine" >/dev/null
      cp -r "$dir/machine/drive_c/orvane" "$prefix/drive_c/orvane"
      cp build/bench/mingw-x64/setup.exe "$prefix/drive_c/orvane/setup.exe"
      cp "$fixtures/rundll32.exe" "$prefix/drive_c/orvane/rundll32.exe"
      cp "$fixtures/test_monitor.dll" "$prefix/drive_c/orvane/res/drivedir/orvmon.dll"
      cp "$fixtures/test_monitor.dll" "$prefix/drive_c/orvane/res/drivedir/orvmona.dll"
      if [ "$kind" = warm ]; then
        # Wine's server and its own services already up, as Windows' are.
        WINEPREFIX=$prefix wineserver -p
        wine_in "$prefix" 60 cmd /c exit >/dev/null 2>&1 || true
      fi
      # shellcheck disable=SC2034  # read by run_setup: an install shows no box
      ANSWERS=()
      export ORVANE_BENCH_TIME_FILE=$dir/setup.ms
      WINE=$work/timed-wine run_setup "$dir" "$prefix" install || true
      WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
      stop_wine "$prefix"
      local ms
      ms=$(cat "$dir/setup.ms")
      echo "$kind run $i: ${ms} ms, exit $SETUP_CODE, boxes: $(wc -l <"$dir/install.boxes")," \
        "log: $(tr -d '\r' <"$prefix/drive_c/orvane/res/drivedir/setup.log" 2>/dev/null |
          grep -c . ) lines"
      cp "$prefix/drive_c/orvane/res/drivedir/setup.log" "$out/wine-$kind-$i.setup.log" \
        2>/dev/null || true
      if [ "$kind" = cold ]; then cold+=("$ms"); else warm+=("$ms"); fi
      rm -rf "$prefix"
    done
  done
  stop_display
  local c w
  c=$(printf '%s\n' "${cold[@]}" | median)
  w=$(printf '%s\n' "${warm[@]}" | median)
  awk -v c="$c" -v w="$w" -v p="$pauses" 'BEGIN {
    f = "median wall time: %s %d ms (ratio to the pauses %.2f, overhead %d ms)\n"
    printf f, "cold", c, c / p, c - p
    printf f, "warm", w, w / p, w - p
    printf "target: overhead beyond the pauses < 2000 ms\n" }'
}

for part in "${parts[@]}"; do
  case $part in
    sim) bench_sim ;;
    copy) bench_copy ;;
    suite) bench_suite ;;
    wine) bench_wine ;;
    *) echo "unknown part $part (sim, copy, suite, wine)" >&2; exit 2 ;;
  esac
done
