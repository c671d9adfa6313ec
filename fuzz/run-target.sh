#!/bin/sh
# Runs one libFuzzer binary for a while on a copy of its seed corpus and says in a few lines
# what came of it: runs, time, corpus, findings. Its own output stays in a log beside the
# binary; a finding prints the end of that log and the input that caused it, and fails.
# Usage: fuzz/run-target.sh BINARY SEED-FOLDER SECONDS [libFuzzer options...]
set -eu
binary=$1
seeds=$2
seconds=$3
shift 3
name=$(basename "$binary")
work="$binary.run"
rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings"
cp "$seeds"/* "$work/corpus/"
seeded=$(ls "$work/corpus" | wc -l)
log="$work/log"
status=0
"$binary" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$work/findings/" "$@" "$work/corpus" >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
corpus=$(ls "$work/corpus" | wc -l)
findings=$(ls "$work/findings" | wc -l)
echo "fuzz $name: ${runs:-?} runs in ${took:-?} s; corpus $seeded -> $corpus inputs;" \
  "$findings finding(s)"
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  echo "fuzz $name: FAILED (exit $status); the end of $log:" >&2
  tail -n 40 "$log" >&2
  for f in "$work/findings"/*; do
    [ -e "$f" ] && echo "fuzz $name: input that fails: $f (run: $binary $f)" >&2
  done
  exit 1
fi
