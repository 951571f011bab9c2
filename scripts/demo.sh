#!/usr/bin/env bash
# The demo: installs what is missing, builds the release and the win64
# program, and runs the win64 program under Wine beside stand-ins for the
# three capture programs. Prints tick by tick which windows were found and
# drawn on, saves build/demo/desktop.png, closes the program through
# File > Exit and reports its exit code.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh win32 win64

program=build/win64/quelvani.exe
[ -f "$program" ] || { echo "no $program: the build did not make the program" >&2; exit 1; }
# File > Exit is picked through the menu by the shell checks' driver; a
# build without it posts the menu item's command instead.
driver=build/win64/e2e/shell/shell_driver.exe
exit_by=()
[ -f "$driver" ] && exit_by=(--driver "$driver" pick-exit)
exec python3 e2e/demo.py --program "$program" --standins build/win64/e2e/standins \
  --out build/demo "${exit_by[@]}" "$@"
