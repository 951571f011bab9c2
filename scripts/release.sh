#!/usr/bin/env bash
# Makes the download: installs what is missing, builds the release program
# and packages it with README.txt and SHA256SUMS as
# dist/quelvani-<version>-win32.zip, the same bytes from every run; prints
# the zip's size and SHA-256.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh win32
python3 scripts/release_zip.py --source . build/win32/quelvani.exe dist
