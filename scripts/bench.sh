#!/usr/bin/env bash
# Reproduces every figure in BENCHMARKS.md:
#
#   scripts/bench.sh [sim] [copy] [suite] [campaign] [wine]   (no argument: all)
#
#   sim       install, uninstall and their cycle per Windows family on a
#             machine held in memory; loading and saving a machine folder
#   copy      CopyFileChecked against cp --reflink=never (1, 64, 256 MiB), and
#             the peak memory of each in a process of its own
#   suite     the wall time of `ctest --preset dev` without the Wine tests, and
#             the Wine tests apart
#   campaign  the fault campaign's machines per second, and 100,000 machines
#             with --jobs 2 (ORVANE_BENCH_CAMPAIGN machines; 0 leaves it out)
#   wine      setup.exe's install under Wine against the pauses it makes, and
#             CopyFileChecked against CopyFileA under Wine (copy_wine.exe)
#
# Figures are medians: ORVANE_BENCH_REPS repetitions of each Google Benchmark
# (default 5), ORVANE_BENCH_RUNS runs of each whole program (default 3). The
# raw results (JSON, logs) go to build/bench/results; the summary to stdout.
# Nothing here is a test: a figure past its target is reported, not failed.
# ORVANE_BENCH_BUILD puts build/bench (the preset's build, its results, the
# scratch folder on the disk) elsewhere.
#
# Before and after: sim, copy and campaign also build the tree of the commit
# ORVANE_BENCH_BEFORE (default 7fbe7f1, the last before drive C:'s index; empty
# leaves the comparison out) in build/bench/before, and run it and the current
# build in turn, round by round, so that both see the same load on a shared
# host; the ratio of the two medians is the figure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bench=${ORVANE_BENCH_BUILD:-$root/build/bench}
out="$bench/results"
disk="$bench/scratch"  # a folder on the disk that holds the tree
reps=${ORVANE_BENCH_REPS:-5}
runs=${ORVANE_BENCH_RUNS:-3}
jobs=$(nproc 2>/dev/null || echo 2)
before=${ORVANE_BENCH_BEFORE-7fbe7f1}
before_dir="$bench/before"
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(sim copy suite campaign wine)
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
  cmake --preset bench -B "$bench" >/dev/null
  cmake --build "$bench" -j "$jobs" --target install_bench copy_bench copy_peak \
    setup winsim fault_campaign >/dev/null
}

# The tree of $before, built as the preset bench builds, in $before_dir;
# false when there is none to compare with.
build_before() {
  [ -n "$before" ] || return 1
  local rev src=$before_dir-src
  rev=$(git rev-parse --verify "$before^{commit}") || return 1
  if [ "$(cat "$src/.rev" 2>/dev/null)" != "$rev" ]; then
    rm -rf "$src"
    mkdir -p "$src"
    git archive "$rev" | tar -x -C "$src"
    echo "$rev" >"$src/.rev"
  fi
  cmake -S "$src" -B "$before_dir" -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DORVANE_BUILD_TESTS=OFF \
    -DORVANE_BUILD_BENCH=ON >/dev/null
  cmake --build "$before_dir" -j "$jobs" --target install_bench copy_bench fault_campaign \
    >/dev/null
}

# turns NAME BEFORE_PROGRAM AFTER_PROGRAM [ARGS...]: $reps rounds of the
# Google Benchmark program built before, then the one built now, one
# repetition each; their JSON in $out/NAME-{before,after}-<round>.json.
turns() {
  local name=$1 first=$2 second=$3 i
  shift 3
  for i in $(seq "$reps"); do
    "$first" "$@" --benchmark_out="$out/$name-before-$i.json" --benchmark_out_format=json \
      >/dev/null 2>&1
    "$second" "$@" --benchmark_out="$out/$name-after-$i.json" --benchmark_out_format=json \
      >/dev/null 2>&1
  done
}

# The median over the rounds of one benchmark's FIELD (real_time, cpu_time).
turn_median() {
  local name=$1 side=$2 run=$3 field=$4
  jq -r --arg run "$run" --arg f "$field" '.benchmarks[] | select(.run_name == $run) |
    .[$f]' "$out/$name-$side"-*.json | median
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
  gbench sim "$bench/bench/install_bench"
  # per second: iterations per second of wall time; per CPU second: the same
  # from the process's CPU time, which other load on the host disturbs less.
  { echo "benchmark wall_us cpu_us per_second per_cpu_second"
    jq -r '.benchmarks[] | select(.aggregate_name == "median") |
      [(.run_name | sub("/real_time$"; "")), (.real_time | round), (.cpu_time | round),
       (1e6 / .real_time | round), (1e6 / .cpu_time | round)] | @tsv' "$out/sim.json"
  } | column -t
  if build_before; then
    echo "-- before ($before) and after, side by side: $reps rounds, CPU time per run"
    turns sim "$before_dir/bench/install_bench" "$bench/bench/install_bench" \
      --benchmark_filter='^(install|cycle)/'
    { echo "benchmark before_us after_us before_per_cpu_s after_per_cpu_s after/before"
      local b run bc ac
      for b in install/98 install/nt4 install/2000 install/xp cycle/98 cycle/nt4 \
        cycle/2000 cycle/xp; do
        run="$b/real_time"
        bc=$(turn_median sim "before" "$run" cpu_time)
        ac=$(turn_median sim "after" "$run" cpu_time)
        awk -v b="$b" -v x="$bc" -v y="$ac" 'BEGIN {
          printf "%s %.0f %.0f %.0f %.0f %.2f\n", b, x, y, 1e6 / x, 1e6 / y, x / y }'
      done
    } | column -t
  fi
  echo "-- folder load and save with the folder on the disk ($disk)"
  ORVANE_BENCH_DIR=$disk gbench sim-disk "$bench/bench/install_bench" \
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
    ORVANE_BENCH_DIR=$where gbench "$name" "$bench/bench/copy_bench"
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
      ours+=("$(ORVANE_BENCH_DIR=$disk "$bench/bench/copy_peak" "$mib" |
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

  build_before || return 0
  echo "-- before ($before) and after, side by side: $reps rounds of each program"
  printf '%-9s %-8s %22s %22s\n' where size "before: CFC, ratio" "after: CFC, ratio"
  for where in /dev/shm "$disk"; do
    [ -d "$where" ] || continue
    name=turns-copy-$(stat -f -c %T "$where" | tr '/' '-')
    ORVANE_BENCH_DIR=$where turns "$name" "$before_dir/bench/copy_bench" \
      "$bench/bench/copy_bench" --benchmark_filter='/(64|256)/'
    for mib in 64 256; do
      local bc bp ac ap
      bc=$(turn_median "$name" before "copy_file_checked/$mib/real_time" real_time)
      bp=$(turn_median "$name" before "cp/$mib/real_time" real_time)
      ac=$(turn_median "$name" after "copy_file_checked/$mib/real_time" real_time)
      ap=$(turn_median "$name" after "cp/$mib/real_time" real_time)
      awk -v w="$(stat -f -c %T "$where")" -v m="$mib" -v bc="$bc" -v bp="$bp" -v ac="$ac" \
        -v ap="$ap" 'BEGIN { printf "%-9s %-8s %10.1f ms, %5.2f %10.1f ms, %5.2f\n",
          w, m " MiB", bc, bp / bc, ac, ap / ac }'
    done
  done
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

}

# campaign_rate LOG: machines per second from a fault_campaign log.
campaign_rate() { sed -n 's/.*(\([0-9.]*\) machines\/s).*/\1/p' "$1"; }

bench_campaign() {
  echo "== campaign: fault_campaign (bench build, machines on /dev/shm)"
  build_bench
  local i
  if build_before; then
    echo "-- before ($before, one process) and after (--jobs 1, --jobs 2) in turn:" \
      "--machines 500, $runs rounds"
    local b=() a1=() a2=()
    for i in $(seq "$runs"); do
      "$before_dir/fault_campaign" --machines 500 >"$out/campaign-before-$i.log" 2>&1 || true
      "$bench/fault_campaign" --machines 500 --jobs 1 >"$out/campaign-jobs1-$i.log" 2>&1 || true
      "$bench/fault_campaign" --machines 500 --jobs 2 >"$out/campaign-jobs2-$i.log" 2>&1 || true
      b+=("$(campaign_rate "$out/campaign-before-$i.log")")
      a1+=("$(campaign_rate "$out/campaign-jobs1-$i.log")")
      a2+=("$(campaign_rate "$out/campaign-jobs2-$i.log")")
      echo "round $i: ${b[-1]}, ${a1[-1]}, ${a2[-1]} machines/s;" \
        "$(tail -n 1 "$out/campaign-jobs2-$i.log")"
    done
    awk -v b="$(printf '%s\n' "${b[@]}" | median)" -v x="$(printf '%s\n' "${a1[@]}" | median)" \
      -v y="$(printf '%s\n' "${a2[@]}" | median)" 'BEGIN {
        printf "median: before %.1f, --jobs 1 %.1f (%.2f x), --jobs 2 %.1f (%.2f x) machines/s\n",
          b, x, x / b, y, y / b }'
  fi
  local machines=${ORVANE_BENCH_CAMPAIGN:-100000}
  [ "$machines" -gt 0 ] || return 0
  echo "-- fault_campaign --machines $machines --jobs 2 (target: under 10 minutes," \
    "violations=0); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
  /usr/bin/time -f "%e s wall, %U s user, %S s system" -o "$out/campaign-large.time" \
    "$bench/fault_campaign" --machines "$machines" --jobs 2 >"$out/campaign-large.log" 2>&1 ||
    true
  tail -n 2 "$out/campaign-large.log"
  cat "$out/campaign-large.time"
}

bench_wine() {
  echo "== wine: setup.exe installs on Windows XP (64-bit) under Wine, against its pauses"
  # The pauses the installer makes on this path, from its own journal on the
  # simulator (the same program logic; the clock there is virtual).
  build_bench
  local sim=$out/wine-sim-machine
  rm -rf "$sim"
  "$bench/winsim" create "$sim" --windows xp >/dev/null
  ORVANE_MACHINE=$sim "$bench/setup" </dev/null >/dev/null 2>&1
  local pauses
  pauses=$("$bench/winsim" journal "$sim" |
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
  cmake --preset mingw-x64 -B "$bench/mingw-x64" >/dev/null
  cmake --build "$bench/mingw-x64" -j "$jobs" >/dev/null
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs" --target wine_fixtures winsim >/dev/null

  # shellcheck source=tests/wine/lib/session.sh
  source tests/wine/lib/session.sh
  local work="$bench/wine" fixtures=$root/build/dev/tests/wine/fixtures
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
"$ORVANE_BENCH_WINE" "$@"
code=$?
echo $(( ($(date +%s%N) - start) / 1000000 )) >"$ORVANE_BENCH_TIME_FILE"
exit $code
EOF
  chmod +x "$work/timed-wine"
  export ORVANE_BENCH_WINE=$WINE  # the 64-bit loader session.sh chose
  start_display "$work" || {
    echo "skipped: Xvfb did not start"
    return 0
  }

  # The copy routine where it really runs: copy_wine.exe times CopyFileChecked
  # over the Win32 backend against CopyFileA on the same file, in the prefix's
  # drive C: (on the disk).
  echo "-- CopyFileChecked against CopyFileA under Wine (64-bit build; medians of 5 rounds)"
  local copy=$work/copy-prefix mib
  copy_template "$work/template" "$copy"
  cp "$bench/mingw-x64/copy_wine.exe" "$copy/drive_c/copy_wine.exe"
  for mib in 64 256; do
    wine_in "$copy" 600 'C:\copy_wine.exe' 'C:\' "$mib" 5 2>/dev/null | tee -a "$out/copy-wine.log" ||
      echo "copy_wine.exe $mib MiB failed"
  done
  WINEPREFIX=$copy wineserver -k 2>/dev/null || true
  stop_wine "$copy"
  rm -rf "$copy"
  local kind i dir prefix cold=() warm=()
  for i in $(seq "$runs"); do
    for kind in cold warm; do
      dir=$work/$kind-$i
      prefix=$dir/prefix
      rm -rf "$dir"
      mkdir -p "$dir"
      copy_template "$work/template" "$prefix"
      "$bench/winsim" create "$dir/machine" >/dev/null
      cp -r "$dir/machine/drive_c/orvane" "$prefix/drive_c/orvane"
      cp "$bench/mingw-x64/setup.exe" "$prefix/drive_c/orvane/setup.exe"
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
    campaign) bench_campaign ;;
    wine) bench_wine ;;
    *) echo "unknown part $part (sim, copy, suite, campaign, wine)" >&2; exit 2 ;;
  esac
done
