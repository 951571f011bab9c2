#!/usr/bin/env bash
# The demo: installs and builds what is missing, then runs the release
# program under Wine beside stand-ins for the three capture programs (the
# win64 twin where 32-bit Wine cannot run). Says which windows each tick
# drew on, whether each cross was seen on screen, closes the program
# through File > Exit, and saves a picture of the screen.
usage="usage: scripts/demo.sh
  takes no arguments; the picture is saved as build/demo/desktop.png"
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"
(($# == 0)) || usage_error "no arguments are taken"

# Wine first: the probe needs it to tell which of the two builds runs here,
# and only that one is built.
"$root/scripts/install-deps.sh" wine
cd "$root"
if why=$(python3 e2e/wine_session.py probe); then
  build=build/win32; say="running the release program, $root/$build/quelvani.exe: $why"
else
  build=build/win64
  say="running the win64 twin, $root/$build/quelvani.exe: the release program cannot run here ($why)"
fi
"$root/scripts/build.sh" --quiet "${build#build/}"
echo "$say"
exec python3 e2e/overlay_checks.py --demo "$root/build/demo" --prefix "$root/build/wineprefix" \
  --program "$build/quelvani.exe" --standins "$build/e2e/standins" \
  --driver "$build/e2e/shell/shell_driver.exe"
