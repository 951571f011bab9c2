#!/usr/bin/env bash
# Installs what is missing, then configures and builds under build/.
usage="usage: scripts/build.sh [--quiet] [CONFIGURATION...]
  host       Linux, against the simulated window system, with the unit tests
  host-asan  the same with AddressSanitizer and UndefinedBehaviorSanitizer
  win32      i686-w64-mingw32, the release program build/win32/quelvani.exe
  win64      x86_64-w64-mingw32, its twin for the checks under 64-bit Wine
  fuzz       clang with libFuzzer, ASan and UBSan: the fuzz target
With no configuration, all five. --quiet keeps each build's output in
build/<configuration>.log and shows it only when the build fails."
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"

all=(host host-asan win32 win64 fuzz)
quiet=false configs=()
for a in "$@"; do
  case "$a" in
    --quiet) quiet=true ;;
    host|host-asan|win32|win64|fuzz) configs+=("$a") ;;
    *) usage_error "unknown configuration: $a (valid: ${all[*]})" ;;
  esac
done
((${#configs[@]})) || configs=("${all[@]}")

# Only what these configurations need: install-deps.sh has a part of each name.
"$root/scripts/install-deps.sh" "${configs[@]}"

cd "$root"
mkdir -p build
for c in "${configs[@]}"; do
  dir=build/$c
  case "$c" in
    host)      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    host-asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQUELVANI_SANITIZE=ON) ;;
    win32|win64)
      args=(-DCMAKE_BUILD_TYPE=Release "-DQUELVANI_WINE_PREFIX=$root/build/wineprefix")
      # A toolchain is read on the first configuration only.
      [ -f "$dir/CMakeCache.txt" ] || args+=(-DCMAKE_TOOLCHAIN_FILE=cmake/$([ "$c" = win32 ] &&
        echo i686 || echo x86_64)-w64-mingw32.cmake) ;;
    fuzz)      args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                     -DQUELVANI_SANITIZE=ON -DQUELVANI_FUZZ=ON
                     "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link") ;;
  esac
  echo "== build $c"
  if ! $quiet; then
    cmake -S . -B "$dir" "${args[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
  elif ! { cmake -S . -B "$dir" "${args[@]}" && cmake --build "$dir" -j "$(nproc)"; } \
         >"$dir.log" 2>&1; then
    tail -n 30 "$dir.log"
    echo "the build of $c failed; its whole output: $root/$dir.log" >&2
    exit 1
  fi
done
