#!/usr/bin/env bash
# Makes the download: installs and builds what is missing, then packages
# the release program with README.txt, LICENSE.txt and SHA256SUMS as
# dist/quelvani-<version>-win32.zip, the same bytes from every run of one
# commit; prints the zip's path, size and SHA-256.
usage="usage: scripts/release.sh
  takes no arguments; writes dist/quelvani-<version>-win32.zip"
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"
(($# == 0)) || usage_error "no arguments are taken"

# The release program's build and its packaging; neither Wine nor the other
# builds.
"$root/scripts/install-deps.sh" win32 package
"$root/scripts/build.sh" --quiet win32
python3 "$root/scripts/release_zip.py" --source "$root" "$root/build/win32/quelvani.exe" "$root/dist"
