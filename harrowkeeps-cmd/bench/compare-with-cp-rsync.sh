#!/bin/bash
# Times harrowkeeps-cmd against cp and rsync doing the same work, in one run:
# a full copy of a tree of about 10,000 small files in 300 folders plus three
# 100 MB files, then an unchanged second pass. Each copy is followed by
# "sync -f" on its target, so every tool pays for getting the data onto the
# disk. Prints the median of the repetitions and the ratios (>1: we are
# faster).
#
# Usage: bench/compare-with-cp-rsync.sh [path to harrowkeeps-cmd] [work folder] [repetitions]
# The work folder must be on a real disk (not tmpfs) with about 1.5 GB free.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
binary=${1:-$here/../../build/release/bin/harrowkeeps-cmd}
work=${2:-${TMPDIR:-/tmp}/hkcmd-bench}
repetitions=${3:-3}
[ -x "$binary" ] || { echo "no program at $binary (build the release preset first)" >&2; exit 2; }
for tool in cp rsync sync python3; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

rm -rf "$work"
mkdir -p "$work/drives"
trap 'rm -rf "$work"' EXIT
ln -s "$work" "$work/drives/s:"
ln -s "$work" "$work/drives/t:"

python3 - "$work/src" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(4)
folders = []
for top in range(20):
    for sub in range(15):
        path = os.path.join(root, f"Folder {top:02d}", f"Sub {sub:02d}")
        os.makedirs(path, exist_ok=True)
        folders.append(path)
blob = os.urandom(1 << 16)
for n in range(10000):
    size = random.randint(100, 16384)
    start = random.randint(0, len(blob) - size)
    with open(os.path.join(folders[n % len(folders)], f"file{n:05d}.dat"), "wb") as f:
        f.write(blob[start:start + size])
big = os.urandom(1 << 20)
for n in range(3):
    with open(os.path.join(root, f"video{n}.mp4"), "wb") as f:
        for _ in range(100):
            f.write(big)
PY
sync -f "$work"
find "$work/src" -type f -print0 | xargs -0 cat >/dev/null  # every tool starts with a warm cache

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l 2>/dev/null || python3 -c "print($2 - $1)"; }

run_tool() {  # tool target
  case $1 in
    harrowkeeps-cmd)
      HARROWKEEPS_DRIVES="$work/drives" "$binary" "/CXCOPY S:\\src T:\\$(basename "$2") /S /D /I /Y" >/dev/null ;;
    cp)
      mkdir -p "$2" && cp -r --update --preserve=timestamps "$work/src/." "$2/" ;;
    rsync)
      rsync -rt --update "$work/src/" "$2/" ;;
  esac
  sync -f "$2"
}

tools=(harrowkeeps-cmd cp rsync)
declare -A full second
for ((r = 1; r <= repetitions; r++)); do
  for tool in "${tools[@]}"; do
    target="$work/dst-$tool"
    rm -rf "$target"
    sync -f "$work"
    t0=$(now); run_tool "$tool" "$target"; t1=$(now)
    run_tool "$tool" "$target"; t2=$(now)
    full[$tool]+="$(python3 -c "print($t1 - $t0)") "
    second[$tool]+="$(python3 -c "print($t2 - $t1)") "
  done
done

# The copies must be right for the times to mean anything.
if ! diff -r -q "$work/src" "$work/dst-harrowkeeps-cmd" >/dev/null; then
  echo "harrowkeeps-cmd's copy differs from the source" >&2
  exit 1
fi

python3 - "${full[harrowkeeps-cmd]}" "${full[cp]}" "${full[rsync]}" \
  "${second[harrowkeeps-cmd]}" "${second[cp]}" "${second[rsync]}" "$repetitions" <<'PY'
import statistics, sys
v = [statistics.median(map(float, a.split())) for a in sys.argv[1:7]]
print(f"10,000 small files in 300 folders + 3 x 100 MB, median of {sys.argv[7]} runs, each with sync -f")
print(f"{'':24}{'harrowkeeps-cmd':>17}{'cp':>10}{'rsync':>10}{'cp/ours':>10}{'rsync/ours':>12}")
for label, (ours, cp, rs) in (("full copy", v[0:3]), ("unchanged second pass", v[3:6])):
    print(f"{label:24}{ours:>16.3f}s{cp:>9.3f}s{rs:>9.3f}s{cp/ours:>10.2f}{rs/ours:>12.2f}")
PY
