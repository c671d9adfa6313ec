#!/bin/sh
# The checks of harrowkeeps-cmd that ctest does not run: a short libFuzzer run
# of the command-line parser and path mapping. Needs clang (Debian: clang).
# Usage: harrowkeeps-cmd/ci-extra.sh [fuzz seconds] [build folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
command -v clang++ >/dev/null || { echo "clang++ is needed for the fuzz run (apt-get install clang)" >&2; exit 2; }
"$here/run-fuzz.sh" "${1:-20}" "${2:-$here/../build/fuzz}"
