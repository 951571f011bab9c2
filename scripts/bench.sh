#!/usr/bin/env bash
# The long figures, from the builds scripts/build.sh made: what a pass costs
# on the simulated window system, and under Wine what the program costs and
# whether it slows the capture programs down, for the release program where
# 32-bit Wine runs and for the win64 twin. Prints figures; fails only when a
# run breaks, never on a figure.
#   scripts/bench.sh [SECONDS]   (each Wine measurement; 20 when not given)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
status=0

echo "== benchmark host"
build/host/bench/overlay_bench || status=1

for c in win32 win64; do
  b=build/$c
  if [ "$c" = win32 ] && ! why=$(python3 e2e/wine_session.py probe); then
    echo "== wine cost $c: skipped: $why"
    continue
  fi
  echo "== wine cost $c"
  python3 bench/wine_cpu.py --program "$b/quelvani.exe" --standins "$b/e2e/standins" \
    --prefix "$b/bench/wineprefix" --pass-cost "$b/bench/pass_cost.exe" --seconds "$seconds" ||
    status=1
done
exit $status
