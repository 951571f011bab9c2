#!/usr/bin/env bash
# Installs with apt-get, on Debian 12 (bookworm), whatever the named parts
# need and is missing.
usage="usage: scripts/install-deps.sh [PART...]
  host       the host build: cmake, g++, make, GoogleTest
  host-asan  the same build with the sanitizers: the same packages
  win32      the release program's build: the i686-w64-mingw32 compiler, python3
  win64      its twin's build: the x86_64-w64-mingw32 compiler, python3, and g++
             for the host side of the conformance checks
  fuzz       the fuzz build: clang and its runtime, cmake, make, GoogleTest
  tests      what the tests run beyond the builds: valgrind, clang-tidy,
             cppcheck, python3 with pefile, git
  wine       running under Wine: wine64, Xvfb, ImageMagick, python3, and
             32-bit Wine (wine32:i386) where this machine runs 32-bit programs
  package    making the download from the win32 build: python3 with pefile, git
With no part, all of them (scripts/test.sh)."
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"

all=(host host-asan win32 win64 fuzz tests wine package)
parts=("$@"); (($#)) || parts=("${all[@]}")
packages=() wine32=false
for part in "${parts[@]}"; do
  case "$part" in
    host|host-asan) packages+=(cmake g++ make libgtest-dev) ;;
    win32)   packages+=(cmake make g++-mingw-w64-i686-win32 python3) ;;
    win64)   packages+=(cmake make g++-mingw-w64-x86-64-win32 python3 g++) ;;
    fuzz)    packages+=(cmake make clang libclang-rt-dev libgtest-dev) ;;
    tests)   packages+=(valgrind clang-tidy cppcheck python3 python3-pefile git) ;;
    wine)    packages+=(wine64 xvfb imagemagick python3) wine32=true ;;
    package) packages+=(python3 python3-pefile git) ;;
    *) usage_error "unknown part: $part (valid: ${all[*]})" ;;
  esac
done

sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
# sudo clears the environment, so the variable goes through env.
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do
  [[ " ${missing[*]} " == *" $p "* ]] || installed "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
fi
$wine32 || exit 0

# Whether the kernel runs 32-bit x86 programs: a 93-byte i386 program that
# only exits. Some machines' kernels cannot, and 32-bit Wine is no use there.
# Off x86-64, an emulator registered with the kernel (qemu-i386 through
# binfmt_misc) may run it, and Wine under that is no use either.
runs_32_bit() {
  [ "$(uname -m)" = x86_64 ] || return 1
  local probe="$root/build/runs-32-bit"
  mkdir -p "$root/build"
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
}

# 32-bit Wine runs the release program; the tests skip its runs where it
# cannot, so a failure here only warns. The package lists are fetched before
# each try: an earlier one may have added i386 and then failed to fetch them.
installed wine32:i386 && exit 0
if ! runs_32_bit; then
  echo "not installing wine32:i386: this machine does not run 32-bit x86 programs"
  exit 0
fi
echo "installing: wine32:i386"
if ! { dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386; } ||
   ! apt_get update -qq || ! apt_get install -y -qq --no-install-recommends wine32:i386; then
  s=${sudo:+sudo }
  cat >&2 <<EOF
warning: wine32:i386 could not be installed; until it is, the release
program's checks under Wine are skipped (reported as skips). To install it:
  ${s}dpkg --add-architecture i386
  ${s}apt-get update
  ${s}apt-get install --no-install-recommends wine32:i386
EOF
fi
exit 0
