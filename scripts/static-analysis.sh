#!/usr/bin/env bash
# Runs one static analyser over the system's own code (app/, discovery/,
# overlay/) exactly as the given build compiles it, from that build's
# compile_commands.json. Exits non-zero on any finding. The host build's
# ctest runs it.
usage="usage: scripts/static-analysis.sh clang-tidy|cppcheck BUILD_DIR"
set -euo pipefail
source "$(dirname "$0")/lib.sh"
show_help_if_asked "$@"
(($# == 2)) || usage_error "two arguments are needed, $# given"
tool=$1
[[ "$tool" == clang-tidy || "$tool" == cppcheck ]] || usage_error "unknown analyser: $tool"
[ -d "$2" ] || usage_error "no such build folder: $2"
build=$(cd "$2" && pwd)
out="$build/static-analysis"
mkdir -p "$out"

# Only the system's translation units; the simulation and tests are not
# held to these checks.
python3 - "$build/compile_commands.json" "$out/compile_commands.json" "$root" <<'PY'
import json, os, sys
src, dst, root = sys.argv[1:4]
keep = tuple(os.path.join(root, d) + os.sep for d in ("app", "discovery", "overlay"))
entries = [e for e in json.load(open(src))
           if os.path.normpath(os.path.join(e["directory"], e["file"])).startswith(keep)]
if not entries:
    sys.exit("no translation units of the system's code in " + src)
json.dump(entries, open(dst, "w"), indent=1)
PY
mapfile -t files < <(python3 -c 'import json,sys; print("\n".join(e["file"] for e in json.load(open(sys.argv[1]))))' "$out/compile_commands.json")
echo "$tool: ${#files[@]} files"

case "$tool" in
  clang-tidy)
    # Settings come from the committed .clang-tidy at the top of the tree.
    clang-tidy -p "$out" --quiet "${files[@]}" 2> >(grep -v "warnings generated" >&2)
    ;;
  cppcheck)
    cppcheck --project="$out/compile_commands.json" --std=c++17 --quiet \
      --enable=warning,style,performance,portability \
      --suppressions-list="$root/.cppcheck-suppressions" \
      --cppcheck-build-dir="$out" \
      --error-exitcode=1 --inline-suppr
    ;;
esac
