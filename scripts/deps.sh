#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where missing:
# git (the size count), util-linux (flock, setsid: the process tests) and
# python3 (the orvcheck test reads its JSON with it),
# the compilers and test libraries, MinGW-w64 for setup.exe, clang's libFuzzer,
# and Wine with a virtual display for the end-to-end tests of setup.exe: the
# 32-bit Wine (wine32:i386) too where this machine executes 32-bit programs
# (on one that does not, the 32-bit scenarios report themselves skipped).
# Package managers' output goes to $ORVANE_DEPS_LOG (default build/deps.log).
set -euo pipefail
cd "$(dirname "$0")/.."
build=(git util-linux python3 cmake g++ make clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
       g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
       binutils-mingw-w64-x86-64)
wine=(wine wine64 xvfb xdotool imagemagick)
missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
i386=no
scripts/can_run_i386.sh && i386=yes
[ $i386 = no ] || wine+=(wine32:i386)
need_build=$(missing "${build[@]}")
need_wine=$(missing "${wine[@]}")
[ -z "$need_build$need_wine" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
log=${ORVANE_DEPS_LOG:-build/deps.log}
mkdir -p "$(dirname "$log")"
echo "installing $need_build $need_wine (details in $log)"
exec 3>&1 >>"$log" 2>&1
trap 'echo "the package installation failed; the end of $log:" >&3; tail -n 20 "$log" >&3' ERR
if [ $i386 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
# shellcheck disable=SC2086
[ -z "$need_build" ] || $sudo apt-get install -y -qq --no-install-recommends $need_build
# Wine as Debian recommends it (its fonts and helpers).
# shellcheck disable=SC2086
[ -z "$need_wine" ] || $sudo apt-get install -y -qq $need_wine
