#!/bin/bash
# Times harrowkeeps-cmd against cp and rsync doing the same work, in one run.
# Trees: 10,000 small files in 300 folders ("small"), 100,000 in 3,000
# ("many"), three 300 MB files ("large"), and 1,000 files of 2 KB in 20 folders
# copied onto a network share ("share": sshfs to an sshd of the benchmark's
# own on a free loopback port, through a relay that holds back every chunk
# 0.5 ms each way, HKBENCH_SHARE_DELAY_MS; needs root, /dev/fuse and
# openssh-server and sshfs, and says why it skips otherwise). Passes on each:
# a full copy into an empty target, an unchanged second pass, and one after
# 1 % of the source's files changed. The tools take turns within every pass, in an order rotated
# each repetition; every run is followed by "sync -f" on its target and that
# counts in its time. Prints the medians, the ratios ours / peer (below 1: we
# are faster) against the goals of the copy engine, and peak memory; exits 1
# if harrowkeeps-cmd's copy differs from the source.
#
# Usage: bench/compare-with-cp-rsync.sh [path to harrowkeeps-cmd] [work folder] [repetitions]
# HKBENCH_TREES=small (or "small,large", "share", ...) runs only those trees.
# The work folder must be on a real disk; all three trees take about 9 GB.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
binary=${1:-$here/../../build/release/bin/harrowkeeps-cmd}
work=${2:-${TMPDIR:-/tmp}/hkcmd-bench}
repetitions=${3:-3}
[ -x "$binary" ] || { echo "no program at $binary (build the release preset first)" >&2; exit 2; }
[[ $repetitions =~ ^[1-9][0-9]*$ ]] || { echo "repetitions must be a positive number" >&2; exit 2; }
for tool in cp rsync sync stat python3 cc; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")

# The work folder is removed at the end: never take over a folder this script
# did not make.
marker=.harrowkeeps-cmd-bench
if [ -e "$work" ] && [ ! -e "$work/$marker" ]; then
  echo "$work exists and is not a work folder of this benchmark: name another" >&2
  exit 2
fi
rm -rf "$work"
mkdir -p "$work/drives"
touch "$work/$marker"
# Never into a share or image still mounted there (the driver takes them down; a
# driver killed outright may not have).
trap 'rm -rf --one-file-system "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
case $(stat -f -c %T "$work") in
  tmpfs | ramfs) echo "$work is in memory; name a work folder on a disk" >&2; exit 2 ;;
esac
ln -s "$work" "$work/drives/s:"
ln -s "$work" "$work/drives/t:"

# Static, so that what it loads before starting a copier stays small.
cc -O2 -static -o "$work/run_measured" "$here/run_measured.c" 2>/dev/null ||
  cc -O2 -o "$work/run_measured" "$here/run_measured.c"

# In the background, so that a TERM for this script (not only a Ctrl+C for
# the whole group) reaches the driver, which ends the copier it runs before
# the work folder goes.
python3 "$here/copy_bench.py" "$binary" "$work/run_measured" "$work" "$repetitions" &
driver=$!
trap 'kill -TERM "$driver" 2>/dev/null; wait "$driver" || true; exit 130' INT
trap 'kill -TERM "$driver" 2>/dev/null; wait "$driver" || true; exit 143' TERM
wait "$driver"
