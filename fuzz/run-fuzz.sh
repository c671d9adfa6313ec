#!/bin/sh
# Builds the program's libFuzzer targets for the two readers of bytes from outside, the
# terminal key decoder and the processed-output writer for child output, and runs each for a
# while. Needs clang (Debian: clang). A finding fails the run.
# Usage: fuzz/run-fuzz.sh [seconds per target] [build folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../src" && pwd)
seconds=${1:-10}
out=${2:-$here/../build/fuzz}
command -v clang++ >/dev/null || { echo "clang++ is needed for the fuzz run (apt-get install clang)" >&2; exit 2; }
mkdir -p "$out"
build() {
  target=$1
  shift
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Wall -Wextra -Wpedantic -Wshadow -Werror -I"$src" "$here/$target.cpp" "$@" -o "$out/$target"
}
build key_decoder_fuzz "$src/console/posix/key_decoder.cpp" "$src/console/translate_key_event.cpp" \
  "$src/console/us_layout.cpp" "$src/console/cp437.cpp"
build processed_output_fuzz "$src/console/grid/processed_output.cpp" \
  "$src/console/grid/cell_grid.cpp" "$src/console/cp437.cpp"
"$here/run-target.sh" "$out/key_decoder_fuzz" "$here/corpus/key_decoder" "$seconds" -max_len=512
"$here/run-target.sh" "$out/processed_output_fuzz" "$here/corpus/processed_output" "$seconds" \
  -max_len=4096
