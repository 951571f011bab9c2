#!/usr/bin/env bash
# The long figures: what a pass costs on the simulated window system, and
# under Wine what the program costs and whether it slows the capture
# programs down, for the release program where 32-bit Wine runs and for the
# win64 twin. Installs and builds what is missing first. Prints figures;
# fails only when a run breaks, never on a figure.
usage="usage: scripts/bench.sh [SECONDS]
  SECONDS  how long each Wine measurement lasts, a whole number (default 20)"
set -uo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"
(($# <= 1)) || usage_error "one argument at most"
seconds=${1:-20}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || usage_error "not a whole number of seconds: $seconds"

# Wine first: the probe needs it to tell whether the release program is
# measured, and so built, here; its twin always is.
"$root/scripts/install-deps.sh" host win64 wine || exit 1
cd "$root"
wine_configs=(win64)
why=$(python3 e2e/wine_session.py probe) && wine_configs=(win32 win64)
"$root/scripts/build.sh" --quiet host "${wine_configs[@]}" || exit 1
status=0

echo "== benchmark host"
build/host/bench/overlay_bench || status=1

[ "${wine_configs[0]}" = win32 ] || echo "== wine cost win32: skipped: $why"
for c in "${wine_configs[@]}"; do
  b=build/$c
  echo "== wine cost $c"
  python3 bench/wine_cpu.py --program "$b/quelvani.exe" --standins "$b/e2e/standins" \
    --prefix build/wineprefix --pass-cost "$b/bench/pass_cost.exe" --seconds "$seconds" ||
    status=1
done
exit $status
