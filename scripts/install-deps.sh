#!/usr/bin/env bash
# Installs, on Debian, whatever the builds and tests need and is missing.
set -euo pipefail

packages=(
  cmake g++ make googletest libgtest-dev valgrind
  clang clang-tidy cppcheck libclang-rt-14-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xdotool icoutils imagemagick python3
)

sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine runs the release program. It installs on any machine, but only
# runs where the kernel runs 32-bit programs; the tests probe for that, and
# skip the release program's run where it cannot, so a failure here only warns.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "installing: wine32:i386"
  if ! { $sudo dpkg --add-architecture i386 && $sudo apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
           wine32:i386; }; then
    echo "warning: wine32:i386 could not be installed; the release program's run under Wine is skipped" >&2
  fi
fi
