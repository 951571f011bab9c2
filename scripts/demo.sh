#!/usr/bin/env bash
# The demo: installs what is missing, builds the release and the win64
# program, and runs the release program under Wine beside stand-ins for the
# three capture programs (the win64 twin where 32-bit Wine cannot run).
# Prints tick by tick which windows were found and drawn on, where each
# cross is on screen and whether it was seen there, saves
# build/demo/desktop.png, closes the program through File > Exit and reports
# its exit code.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh win32 win64

if why=$(python3 e2e/wine_session.py probe); then
  build=build/win32; echo "running the release program, build/win32/quelvani.exe: $why"
else
  build=build/win64; echo "running the win64 twin, build/win64/quelvani.exe, as $why"
fi
exec python3 e2e/overlay_checks.py --demo build/demo --program "$build/quelvani.exe" \
  --standins "$build/e2e/standins" --driver "$build/e2e/shell/shell_driver.exe" "$@"
