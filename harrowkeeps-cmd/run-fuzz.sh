#!/bin/sh
# Builds the command-line fuzz target with clang's libFuzzer and runs it
# briefly; a few lines say what came of it (fuzz/run-target.sh), and a
# finding fails.  Usage: harrowkeeps-cmd/run-fuzz.sh [seconds] [build folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-20}
out=${2:-$here/../build/fuzz}
mkdir -p "$out"
# Every source but the program's entry point, and the terminal keys library the questions read
# keys with, so that the target links whatever the parts it reaches need; the linker keeps only
# those. Compiled side by side, one processor each.
# The version as CMake gives it to these sources, from the project() line.
version=$(sed -n 's/^project(harrowkeeps VERSION \([0-9.]*\).*/\1/p' "$here/../CMakeLists.txt")
flags="-std=c++20 -O1 -g -D_GNU_SOURCE -DHARROWKEEPS_VERSION=\"$version\"
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Wall -Wextra -Wpedantic
  -I$here/src -I$here/../src"
rm -rf "$out/command_line_fuzz.objects"
mkdir -p "$out/command_line_fuzz.objects"
library=$(sed -n '/^add_library(hk_terminal_keys/,/^)/s|^ *\(.*\.cpp\)$|'"$here"'/../src/\1|p' \
  "$here/../src/CMakeLists.txt")
ls "$here"/src/*.cpp "$here/fuzz/command_line_fuzz.cpp" $library | grep -v '/src/main\.cpp$' |
  xargs -P "$(nproc)" -I{} sh -c \
    'clang++ $1 -c "$2" -o "$3/$(basename "$2" .cpp).o"' - "$flags" {} "$out/command_line_fuzz.objects"
# shellcheck disable=SC2086 # the flags are words
clang++ $flags "$out"/command_line_fuzz.objects/*.o -o "$out/command_line_fuzz"
"$here/../fuzz/run-target.sh" "$out/command_line_fuzz" "$here/fuzz/corpus" "$seconds" \
  -max_len=4096
