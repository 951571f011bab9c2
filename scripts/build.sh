#!/usr/bin/env bash
# Configures and builds the four configurations under build/:
#   host       Linux, against the simulated window system, with the unit tests
#   host-asan  the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   win32      i686-w64-mingw32, the release program
#   win64      x86_64-w64-mingw32, the same source, run under Wine
# Pass configuration names to build only those.
set -euo pipefail
cd "$(dirname "$0")/.."

configs=("$@")
((${#configs[@]})) || configs=(host host-asan win32 win64)

for c in "${configs[@]}"; do
  case "$c" in
    host)      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    host-asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQUELVANI_SANITIZE=ON) ;;
    win32)     args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake) ;;
    win64)     args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake) ;;
    *) echo "unknown configuration: $c" >&2; exit 2 ;;
  esac
  echo "== build $c"
  cmake -S . -B "build/$c" "${args[@]}" >/dev/null
  cmake --build "build/$c" -j "$(nproc)"
done
