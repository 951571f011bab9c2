# Sourced by the scripts beside it, never run: where the tree is, and how a
# script that sets $usage answers --help and arguments it does not take.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# show_help_if_asked ARGS...: prints the usage and exits 0 when one of the
# arguments asks for help.
show_help_if_asked() {
  local a
  for a in "$@"; do
    case "$a" in -h|--help) printf '%s\n' "$usage"; exit 0 ;; esac
  done
}

# usage_error MESSAGE: one line saying what is wrong, the usage, exit code 2.
usage_error() {
  printf '%s: %s\n%s\n' "$(basename "$0")" "$1" "$usage" >&2
  exit 2
}
