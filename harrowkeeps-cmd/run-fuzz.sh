#!/bin/sh
# Builds the command-line fuzz target with clang's libFuzzer and runs it
# briefly.  Usage: harrowkeeps-cmd/run-fuzz.sh [seconds] [build folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-20}
out=${2:-$here/../build/fuzz}
mkdir -p "$out/corpus"
cp "$here"/fuzz/corpus/* "$out/corpus/"
clang++ -std=c++20 -O1 -g -D_GNU_SOURCE -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -Wall -Wextra -Wpedantic -I"$here/src" \
  "$here/fuzz/command_line_fuzz.cpp" \
  "$here/src/command_text.cpp" "$here/src/xcopy_arguments.cpp" "$here/src/dos_path.cpp" \
  "$here/src/drive_map.cpp" "$here/src/name_lookup.cpp" "$here/src/wildcard.cpp" \
  -o "$out/command_line_fuzz"
"$out/command_line_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  "$out/corpus"
