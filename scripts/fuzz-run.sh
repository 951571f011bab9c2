#!/usr/bin/env bash
# Runs a libFuzzer target for a bounded time from the committed seed corpus,
# keeping what it learns in a scratch corpus so the committed one is not
# touched. Prints (and adds to $QUELVANI_FIGURES) how many inputs it ran.
# An input that breaks a rule is left in WORK/artifacts; commit it under
# fuzz/corpus/regression-<what> with the fix, and it is replayed by every build.
# The fuzz build's ctest runs it.
usage="usage: scripts/fuzz-run.sh FUZZER SEED_CORPUS WORK SECONDS"
set -uo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"
(($# == 4)) || usage_error "four arguments are needed, $# given"
fuzzer=$1 seeds=$2 work=$3 seconds=$4
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || usage_error "not a whole number of seconds: $seconds"
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/fuzz.log"

"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$log" 2>&1
status=$?

runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -1)
line="fuzz: ${runs:-?} executions in ${seconds} s ($cov), exit status $status"
echo "$line"
[ -n "${QUELVANI_FIGURES:-}" ] && echo "$line" >>"$QUELVANI_FIGURES"
if ((status != 0)); then
  tail -n 40 "$log"
  echo "inputs that broke a rule:"; ls -l "$work/artifacts"
fi
exit $status
