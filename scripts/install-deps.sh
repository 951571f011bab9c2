#!/usr/bin/env bash
# Installs with apt-get, on Debian 12 (bookworm), whatever is missing.
usage="usage: scripts/install-deps.sh [--host]
  (none)  everything: all builds, the tests under Wine, the benchmarks, and
          32-bit Wine where this machine runs 32-bit programs
  --host  only the host toolchain: the host builds and their unit tests
          (scripts/test.sh --quick); no Wine, no i386 architecture"
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"

host=(cmake g++ make libgtest-dev)
everything=("${host[@]}" valgrind clang-tidy cppcheck clang libclang-rt-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  wine64 xvfb imagemagick python3 python3-pefile)
case "${1-}" in
  "") packages=("${everything[@]}") ;;
  --host) packages=("${host[@]}") ;;
  *) usage_error "unknown argument: $1" ;;
esac
(($# <= 1)) || usage_error "one argument at most"

sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "${1-}" = --host ] && exit 0

# Whether the kernel runs 32-bit x86 programs: a 93-byte i386 program that
# only exits. Some machines' kernels cannot, and 32-bit Wine is no use there.
runs_32_bit() {
  local probe="$root/build/runs-32-bit"
  mkdir -p "$root/build"
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
}

# 32-bit Wine runs the release program; the tests skip its runs where it
# cannot, so a failure here only warns. The i386 architecture is added, and
# the package lists fetched again for it, only once.
installed wine32:i386 && exit 0
if ! runs_32_bit; then
  echo "not installing wine32:i386: this machine does not run 32-bit programs"
  exit 0
fi
echo "installing: wine32:i386"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq || true
fi
if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
       wine32:i386; then
  echo "warning: wine32:i386 could not be installed; the release program's run under Wine is skipped" >&2
fi
