#!/usr/bin/env python3
"""Times builds of harrowkeeps-cmd against each other, to find out whether a
mechanism of the copy engine pays for itself: a build with it and one
without, taking turns. Each copy goes to a freshly made ext4 (an image on a
loop device, made anew for every run, so that no run finds what an earlier
one freed), or to a freshly mounted sshfs share through a 1 ms relay.

Usage (as root, with openssh-server and sshfs for the share):
  compare_builds.py WORK ROUNDS NAME=BINARY [NAME=BINARY ...]
HKBENCH_TREES=small,large,share (the default) chooses the trees. Prints, for
every tree and pass, each build's median seconds (the copy and its sync -f)
and its ratio to the first build's."""

import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import copy_bench  # noqa: E402  the benchmark's trees
import rigs  # noqa: E402  the share (copy_bench put the media rigs on the path)

IMAGE_SIZE = "4G"


def run(command, **kwargs):
    subprocess.run(command, check=True, **kwargs)


class FreshExt4:
    """An ext4 made anew for every run, mounted at `mount`."""

    def __init__(self, work):
        self.image = os.path.join(work, "ext4.img")
        self.root = os.path.join(work, "ext4")
        os.makedirs(self.root, exist_ok=True)
        run(["truncate", "-s", IMAGE_SIZE, self.image])
        self.mounted = False

    def renew(self):
        self.close()
        run(["mkfs.ext4", "-q", "-F", self.image])
        run(["mount", "-o", "loop", self.image, self.root])
        self.mounted = True

    def close(self):
        if self.mounted:
            run(["umount", self.root])
            self.mounted = False


def timed_copy(binary, drives, source, target):
    environment = dict(os.environ, HARROWKEEPS_DRIVES=drives)
    start = time.perf_counter()
    done = subprocess.run([binary, f"/CXCOPY {source} {target} /S /D /I /Y"], env=environment,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if done.returncode != 0:
        sys.exit(f"{binary} failed (exit {done.returncode}): {done.stderr.decode()[-1000:]}")
    return time.perf_counter() - start


def synced(seconds, folder):
    start = time.perf_counter()
    run(["sync", "-f", folder])
    return seconds + time.perf_counter() - start


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    work, rounds = os.path.abspath(sys.argv[1]), int(sys.argv[2])
    builds = [argument.split("=", 1) for argument in sys.argv[3:]]
    trees = [copy_bench.TREES[key] for key in
             os.environ.get("HKBENCH_TREES", "small,large,share").split(",")]
    os.makedirs(work)
    drives = os.path.join(work, "drives")
    os.makedirs(drives)
    ext4 = FreshExt4(work)
    os.symlink(work, os.path.join(drives, "s:"))
    os.symlink(ext4.root, os.path.join(drives, "t:"))
    for tree in trees:
        source = os.path.join(work, tree.key, "src")
        (copy_bench.make_large_tree if not tree.small else copy_bench.make_small_tree)(tree, source)
    share = None
    if any(tree.on_share for tree in trees):
        why = rigs.unavailable("sshfs")
        if why:
            sys.exit(f"no share: {why}")
        share = rigs.medium("sshfs", work, delay_ms=copy_bench.SHARE_DELAY_MS)
        medium = share.__enter__()
        os.symlink(medium.root, os.path.join(drives, "u:"))
    times = {}
    try:
        for number in range(rounds):
            order = builds[number % len(builds):] + builds[:number % len(builds)]
            for tree in trees:
                copy_bench.read_all(os.path.join(work, tree.key, "src"))
                for name, binary in order:
                    source = f"S:\\{tree.key}\\src"
                    if tree.on_share:
                        medium.remount(read_only=False)
                        target = f"U:\\{name}-{number}"
                        folder = os.path.join(medium.root, f"{name}-{number}")
                    else:
                        ext4.renew()
                        target = f"T:\\copy"
                        folder = ext4.root
                    full = synced(timed_copy(binary, drives, source, target), folder)
                    if tree.on_share:
                        medium.remount(read_only=False)
                    again = synced(timed_copy(binary, drives, source, target), folder)
                    times.setdefault((tree.key, "full copy", name), []).append(full)
                    times.setdefault((tree.key, "unchanged", name), []).append(again)
                    print(f"round {number + 1}, {tree.title}, {name}: full {full:.3f} s, "
                          f"unchanged {again:.3f} s", flush=True)
    finally:
        ext4.close()
        if share:
            share.__exit__(None, None, None)
    print(f"\n{'tree':22} {'pass':10} " + " ".join(f"{name:>14}" for name, _ in builds))
    for tree in trees:
        for pass_name in ("full copy", "unchanged"):
            medians = [statistics.median(times[tree.key, pass_name, name]) for name, _ in builds]
            cells = [f"{m:8.3f} s {m / medians[0]:4.2f}" for m in medians]
            print(f"{tree.title:22} {pass_name:10} " + " ".join(f"{c:>14}" for c in cells))
    print(f"medians of {rounds} rounds; the ratio is to {builds[0][0]}")


if __name__ == "__main__":
    main()
