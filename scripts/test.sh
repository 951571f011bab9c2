#!/usr/bin/env bash
# The one test command: installs what is missing, builds every
# configuration, runs every test, then the long figures (scripts/bench.sh).
usage="usage: scripts/test.sh [--quick]
  (none)   every configuration, every test, then the benchmarks
  --quick  the edit-and-test loop: the host build and its unit tests, without
           memcheck, static analysis and the soak run; installs only the host
           toolchain"
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"
case "$*" in
  "") ;;
  --quick)
    "$root/scripts/build.sh" host
    exec ctest --test-dir "$root/build/host" --output-on-failure -j "$(nproc)" \
      -E 'memcheck|static_analysis|soak' ;;
  *) usage_error "unknown argument: $*" ;;
esac

cd "$root"
# One Wine prefix for the whole run, made by the first check that needs it.
rm -rf build/wineprefix build/wineprefix.lock build/wineprefix.partial
# Everything: the builds, the tools the tests run, and Wine.
scripts/install-deps.sh
scripts/build.sh

passed=0 failed=0 skipped=0 status=0
configs=(host host-asan win32 win64 fuzz)
for c in "${configs[@]}"; do
  echo "== test $c"
  log="build/$c/ctest.log"
  rm -f "build/$c/figures.txt"
  ctest --test-dir "build/$c" --output-on-failure -j "$(nproc)" 2>&1 | tee "$log" || status=1
  # "97% tests passed, 1 tests failed out of 30"; skipped tests count as passed there.
  if summary=$(grep -E 'tests failed out of [0-9]+' "$log"); then
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
    t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    s=$(grep -c '\*\*\*Skipped' "$log" || true)
    failed=$((failed + f)) skipped=$((skipped + s)) passed=$((passed + t - f - s))
  fi
done
echo "== end to end"
if why=$(python3 e2e/wine_session.py probe); then
  echo "end to end: the release program, $root/build/win32/quelvani.exe ($why)"
else
  echo "end to end: the win64 twin, $root/build/win64/quelvani.exe; the release program's checks are skipped ($why)"
fi

# The release program's checks (its second build is left to ctest), shown
# with its imports, size and SHA-256; only the passing checks are left out.
echo "== release program"
python3 tests/pe/check_pe.py --release --source "$root" "$root/build/win32/quelvani.exe" |
  sed '/^ok /d' || status=1

# ctest hides a passing test's output; the figures of the long runs it made
# are printed here, then the benchmarks'.
for c in "${configs[@]}"; do
  if [ -s "build/$c/figures.txt" ]; then
    echo "== figures $c"
    cat "build/$c/figures.txt"
  fi
done
scripts/bench.sh || status=1

((failed == 0)) || status=1
echo "$passed passed, $failed failed, $skipped skipped"
exit $status
