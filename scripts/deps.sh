#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where missing:
# the compilers and test libraries, MinGW-w64 for setup.exe, clang's libFuzzer,
# and Wine with a virtual display for the end-to-end tests of setup.exe.
set -euo pipefail
build=(cmake g++ make clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
       g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
       binutils-mingw-w64-x86-64)
wine=(wine wine64 xvfb xdotool imagemagick)
missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
need_build=$(missing "${build[@]}")
need_wine=$(missing "${wine[@]}")
[ -z "$need_build$need_wine" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
[ -z "$need_build" ] || $sudo apt-get install -y -qq --no-install-recommends $need_build
# Wine as Debian recommends it (its fonts and helpers).
# shellcheck disable=SC2086
[ -z "$need_wine" ] || $sudo apt-get install -y -qq $need_wine
