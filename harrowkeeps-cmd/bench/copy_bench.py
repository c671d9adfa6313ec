#!/usr/bin/env python3
"""Times harrowkeeps-cmd, cp and rsync doing the same copies; run through
compare-with-cp-rsync.sh, which makes the work folder and removes it."""

import contextlib
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "media"))
import rigs  # noqa: E402  the sshfs share, its sshd and the delay relay

BLOCK = 4096  # allocation unit assumed when estimating the space a tree takes
TOOLS = ("harrowkeeps-cmd", "cp", "rsync")


class Tree:
    def __init__(self, key, title, folders, files, large_files=0, size=None, on_share=False):
        self.key, self.title = key, title
        self.folders, self.files, self.large_files = folders, files, large_files
        self.size = size          # every file this size, else sizes drawn from 100 B to 16 KB
        self.on_share = on_share  # the targets are on the sshfs share, through the delay relay

    @property
    def small(self):
        return self.large_files == 0

    def touched_pass(self):
        return "1 % touched" if self.small else "1 of 3 touched"


# Folders as top x sub (no sub-folders with 0); the file count is spread over them round robin.
TREES = {
    "small": Tree("small", "10,000 small files", (20, 15), 10_000),
    "many": Tree("many", "100,000 small files", (60, 50), 100_000),
    "large": Tree("large", "3 x 300 MB", None, 0, large_files=3),
    "share": Tree("share", "1,000 x 2 KB, share", (20, 0), 1_000, size=2048, on_share=True),
}
# Each way through the relay: 0.5 ms makes a round trip of about 1 ms, a good LAN.
SHARE_DELAY_MS = float(os.environ.get("HKBENCH_SHARE_DELAY_MS", "0.5"))
LARGE_SIZE = 300 << 20
CHUNK = 1 << 20


def small_sizes(tree):
    if tree.size:
        return [tree.size] * tree.files
    rng = random.Random(f"sizes {tree.key}")
    return [rng.randint(100, 16384) for _ in range(tree.files)]


def folder_names(tree):
    tops, subs = tree.folders
    if not subs:
        return [f"Folder {t:02d}" for t in range(tops)]
    return [os.path.join(f"Folder {t:02d}", f"Sub {s:02d}") for t in range(tops) for s in range(subs)]


def space_needed(trees):
    """Bytes and inodes for each tree's source plus one target per tool."""
    data = inodes = 0
    for tree in trees:
        if tree.small:
            data += sum(-(-size // BLOCK) * BLOCK for size in small_sizes(tree))
            data += len(folder_names(tree)) * BLOCK
            inodes += tree.files + len(folder_names(tree))
        else:
            data += tree.large_files * LARGE_SIZE
            inodes += tree.large_files
    copies = 1 + len(TOOLS)
    return data * copies * 11 // 10, inodes * copies * 11 // 10


def check_space(work, trees):
    need_bytes, need_inodes = space_needed(trees)
    fs = os.statvfs(work)
    free_bytes, free_inodes = fs.f_bavail * fs.f_frsize, fs.f_favail
    if free_bytes < need_bytes or (fs.f_files and free_inodes < need_inodes):
        sys.exit(f"not enough room in {work}: needs about {need_bytes / 1e9:.1f} GB and "
                 f"{need_inodes:,} inodes, has {free_bytes / 1e9:.1f} GB and {free_inodes:,} inodes "
                 f"(pick fewer trees with HKBENCH_TREES or another work folder)")


def make_small_tree(tree, root):
    rng = random.Random(f"content {tree.key}")
    blob = rng.randbytes(1 << 16)
    folders = [os.path.join(root, name) for name in folder_names(tree)]
    for folder in folders:
        os.makedirs(folder)
    for n, size in enumerate(small_sizes(tree)):
        start = rng.randint(0, len(blob) - size)
        with open(os.path.join(folders[n % len(folders)], f"file{n:06d}.dat"), "wb") as f:
            f.write(blob[start:start + size])


def make_large_tree(tree, root):
    os.makedirs(root)
    rng = random.Random(f"content {tree.key}")
    for n in range(tree.large_files):
        chunk = bytearray(rng.randbytes(CHUNK))
        with open(os.path.join(root, f"video{n}.mp4"), "wb") as f:
            for index in range(LARGE_SIZE // CHUNK):
                # Numbered chunks, so no two megabytes of a file are alike.
                chunk[:8] = index.to_bytes(8, "little")
                f.write(chunk)


def source_files(root):
    found = []
    for folder, _, files in os.walk(root):
        found.extend(os.path.join(folder, name) for name in files)
    found.sort()
    return found


def read_all(root):
    for path in source_files(root):
        with open(path, "rb") as f:
            while f.read(1 << 20):
                pass


def touch_source(tree, root, repetition):
    """Changes the content and mtime of 1 % of the files (one large file)."""
    files = source_files(root)
    count = max(1, len(files) // 100) if tree.small else 1
    chosen = random.Random(f"touch {tree.key} {repetition}").sample(files, count)
    now = time.time_ns()
    for path in chosen:
        with open(path, "r+b") as f:
            first = f.read(1)
            f.seek(0)
            f.write(bytes([first[0] ^ 0xFF]))
        old = os.stat(path).st_mtime_ns
        # Well past the old time, so a copier that compares at 2 s does see it.
        stamp = max(now, old + 3_000_000_000)
        os.utime(path, ns=(stamp, stamp))


class Runner:
    def __init__(self, binary, work, launcher, share=None):
        self.binary, self.work, self.launcher = binary, work, launcher
        self.drives = os.path.join(work, "drives")
        self.share_medium = share  # the mounted share (drive U:), if the share tree runs
        self.share = share.root if share else None
        self.child = None

    def command(self, tool, tree, target):
        source = os.path.join(self.work, tree.key, "src")
        if tool == "harrowkeeps-cmd":
            if tree.on_share:
                to = f"U:\\{os.path.relpath(target, self.share)}"
            else:
                to = f"T:\\{tree.key}\\{os.path.basename(target)}"
            line = f"/CXCOPY S:\\{tree.key}\\src {to} /S /D /I /Y"
            return [self.binary, line]
        if tool == "cp":
            return ["cp", "-r", "--update", "--preserve=timestamps", source + "/.", target + "/"]
        return ["rsync", "-rt", "--update", source + "/", target + "/"]

    def timed(self, tool, tree, target):
        """Seconds for the copy and its sync -f, and the copier's peak resident MiB."""
        if tree.on_share:
            # sshfs keeps what it learnt of names and times for 20 s: whether the
            # previous run was the same tool's would decide an unchanged pass.
            # Every run starts as a daily backup does, with nothing known.
            self.share_medium.remount(read_only=False)
        if tool == "cp":
            os.makedirs(target, exist_ok=True)  # the others make their target themselves
        errors = os.path.join(self.work, "last-errors.txt")
        report = os.path.join(self.work, "last-run.txt")
        environment = dict(os.environ, HARROWKEEPS_DRIVES=self.drives)
        with open(errors, "wb") as err:
            # The launcher times the copier from its fork to its reaping and
            # keeps Python's own size out of the copier's peak.
            self.child = subprocess.Popen([self.launcher, report] + self.command(tool, tree, target),
                                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                          stderr=err, env=environment)
            status = self.child.wait()
            self.child = None
        if status != 0:
            with open(errors, errors="replace") as err:
                sys.exit(f"{tool} failed on {tree.title} (exit {status}):\n" + err.read()[-2000:])
        with open(report) as f:
            seconds, peak_kib = f.read().split()
        start = time.perf_counter()
        sync_folder(target)
        return float(seconds) + time.perf_counter() - start, int(peak_kib) / 1024

    def stop_child(self):
        if self.child is not None:
            self.child.kill()
            self.child.wait()


def sync_folder(path):
    subprocess.run(["sync", "-f", path], check=True)


def target_of(work, tree, tool, share=None):
    if tree.on_share:
        return os.path.join(share, f"dst-{tool}")
    return os.path.join(work, tree.key, f"dst-{tool}")


def same_content(one, other):
    with open(one, "rb") as a, open(other, "rb") as b:
        while True:
            block = a.read(1 << 20)
            if block != b.read(1 << 20):
                return False
            if not block:
                return True


def differences(source, target):
    """What stops target from being a copy of source: names, sizes, contents, mtimes (to the
    second, or up to one step earlier for a file changed just before the run)."""
    found = []
    for folder, dirs, files in os.walk(source):
        dirs.sort()
        relative = os.path.relpath(folder, source)
        other = os.path.normpath(os.path.join(target, relative))
        if not os.path.isdir(other):
            found.append(f"missing folder {relative}")
            dirs.clear()
            continue
        extra = set(os.listdir(other)) - set(dirs) - set(files)
        found.extend(f"extra {os.path.normpath(os.path.join(relative, name))}" for name in sorted(extra))
        for name in sorted(files):
            mine, theirs = os.path.join(folder, name), os.path.join(other, name)
            shown = os.path.normpath(os.path.join(relative, name))
            if not os.path.isfile(theirs):
                found.append(f"missing {shown}")
                continue
            a, b = os.stat(mine), os.stat(theirs)
            # A copy of a file changed within one of the target's time steps
            # before it was read is dated a step earlier, on purpose: the next
            # run copies it once more (2 s is the coarsest step, FAT's).
            fresh = b.st_mtime < a.st_mtime <= b.st_mtime + 2 and a.st_mtime > time.time() - 600
            if a.st_size != b.st_size:
                found.append(f"size of {shown}: {b.st_size}, source {a.st_size}")
            elif int(a.st_mtime) != int(b.st_mtime) and not fresh:
                found.append(f"mtime of {shown}: {int(b.st_mtime)}, source {int(a.st_mtime)}")
            elif not same_content(mine, theirs):
                found.append(f"content of {shown}")
    return found


def goal(tree, pass_name, vs_cp, vs_rsync):
    """The issue's target for this line, if it has one, and whether it is met."""
    if tree.on_share and pass_name == "full copy":
        text, met = "<=0.25 cp", vs_cp <= 0.25
    elif tree.on_share and pass_name == "unchanged":
        text, met = "<=0.5 cp", vs_cp <= 0.5
    elif tree.on_share:
        return ""
    elif tree.small and pass_name == "full copy":
        text, met = "<=0.8 cp, <=0.7 rsync", vs_cp <= 0.8 and vs_rsync <= 0.7
    elif tree.small and pass_name == "unchanged":
        text, met = "<=0.7 cp", vs_cp <= 0.7
    elif not tree.small and pass_name == "full copy":
        text, met = "<=1.0 cp", vs_cp <= 1.0
    else:
        return ""
    return f"{text}: {'met' if met else 'not met'}"


def print_table(trees, times, memory, repetitions):
    by_run_width = max(len("ours/cp by run"), 5 * repetitions) + 2
    print(f"{'tree':<20} {'pass':<15}{'harrowkeeps-cmd':>16}{'cp':>10}{'rsync':>10}"
          f"{'ours/cp':>9}{'ours/rsync':>11}  {'peak MiB ours/cp/rsync':<24}{'ours/cp by run':<{by_run_width}}goal")
    for tree in trees:
        for pass_name in ("full copy", "unchanged", tree.touched_pass()):
            median = {tool: statistics.median(times[tree.key, pass_name, tool]) for tool in TOOLS}
            peak = " / ".join(f"{max(memory[tree.key, pass_name, tool]):.1f}" for tool in TOOLS)
            ours = median["harrowkeeps-cmd"]
            vs_cp, vs_rsync = ours / median["cp"], ours / median["rsync"]
            # The pairs ran back to back: their spread shows how much the
            # shared disk moved the medians.
            by_run = " ".join(f"{a / b:.2f}" for a, b in zip(times[tree.key, pass_name, "harrowkeeps-cmd"],
                                                            times[tree.key, pass_name, "cp"]))
            print(f"{tree.title:<20} {pass_name:<15}{ours:>15.3f}s{median['cp']:>9.3f}s"
                  f"{median['rsync']:>9.3f}s{vs_cp:>9.2f}{vs_rsync:>11.2f}  {peak:<24}{by_run:<{by_run_width}}"
                  f"{goal(tree, pass_name, vs_cp, vs_rsync)}")
    if "small" in {t.key for t in trees} and "many" in {t.key for t in trees}:
        parts = []
        for tool in TOOLS:
            few = statistics.median(times["small", "full copy", tool])
            lots = statistics.median(times["many", "full copy", tool])
            parts.append(f"{tool} x {lots / few:.1f}")
        ours_peak = [max(memory[key, "full copy", "harrowkeeps-cmd"]) for key in ("small", "many")]
        print(f"full copy, 10,000 -> 100,000 files: time {', '.join(parts)}; "
              f"ours' peak {ours_peak[0]:.1f} -> {ours_peak[1]:.1f} MiB")


def lookup_round_trip(folder):
    """Milliseconds one look-up of a missing name takes on the share."""
    start = time.perf_counter()
    for n in range(200):
        try:
            os.stat(os.path.join(folder, f"no such file {n} {time.time_ns()}"))
        except FileNotFoundError:
            pass
    return (time.perf_counter() - start) / 200 * 1000


def main():
    binary, launcher, work, repetitions = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    wanted = os.environ.get("HKBENCH_TREES", "small,many,large,share").replace(",", " ").split()
    unknown = [key for key in wanted if key not in TREES]
    if unknown or not wanted:
        sys.exit(f"HKBENCH_TREES: unknown tree {' '.join(unknown)} (choose from {', '.join(TREES)})")
    trees = [TREES[key] for key in TREES if key in wanted]
    if any(tree.on_share for tree in trees):
        why = rigs.unavailable("sshfs")
        if why:
            print(f"share tree skipped: {why}", flush=True)
            trees = [tree for tree in trees if not tree.on_share]
            if not trees:
                return 0
    check_space(work, trees)
    with contextlib.ExitStack() as stack:
        share = None
        if any(tree.on_share for tree in trees):
            print(f"starting sshd, the delay relay ({SHARE_DELAY_MS} ms each way) and sshfs ...",
                  file=sys.stderr, flush=True)
            share = stack.enter_context(rigs.medium("sshfs", work, delay_ms=SHARE_DELAY_MS))
            os.symlink(share.root, os.path.join(work, "drives", "u:"))
        return measure(binary, launcher, work, repetitions, trees, share)


def measure(binary, launcher, work, repetitions, trees, share):
    filesystem = subprocess.run(["stat", "-f", "-c", "%T", work], capture_output=True, text=True,
                                check=True).stdout.strip()
    print(f"work folder {work} on {filesystem}; median of {repetitions} repetition(s); "
          f"each run timed with its sync -f; tool order rotated each repetition", flush=True)
    if share:
        print(f"share: sshfs to an sshd on the loopback through a relay holding back every chunk "
              f"{SHARE_DELAY_MS} ms each way; a look-up takes {lookup_round_trip(share.root):.2f} ms; "
              f"sshfs mounted afresh before each run (nothing cached)", flush=True)

    for tree in trees:
        print(f"making {tree.title} ...", file=sys.stderr, flush=True)
        root = os.path.join(work, tree.key, "src")
        (make_small_tree if tree.small else make_large_tree)(tree, root)
        read_all(root)  # every tool starts with the source in the cache
    sync_folder(work)

    runner = Runner(binary, work, launcher, share)
    times, memory = {}, {}

    def target(tree, tool):
        return target_of(work, tree, tool, share.root if share else None)

    def run_all(tree, pass_name, order):
        for tool in order:
            if pass_name == "full copy":
                # Each tool's old copy goes right before its own run, so that
                # none pays for writing back another's deletion.
                shutil.rmtree(target(tree, tool), ignore_errors=True)
                sync_folder(work)
            seconds, peak = runner.timed(tool, tree, target(tree, tool))
            times.setdefault((tree.key, pass_name, tool), []).append(seconds)
            memory.setdefault((tree.key, pass_name, tool), []).append(peak)
            print(f"  {tree.title}, {pass_name}, {tool}: {seconds:.3f}s {peak:.1f} MiB",
                  file=sys.stderr, flush=True)

    try:
        for repetition in range(repetitions):
            order = TOOLS[repetition % 3:] + TOOLS[:repetition % 3]
            print(f"repetition {repetition + 1} of {repetitions}, order {', '.join(order)}",
                  file=sys.stderr, flush=True)
            for tree in trees:
                run_all(tree, "full copy", order)
                run_all(tree, "unchanged", order)
                touch_source(tree, os.path.join(work, tree.key, "src"), repetition)
                sync_folder(work)
                run_all(tree, tree.touched_pass(), order)
    except KeyboardInterrupt:
        runner.stop_child()
        raise

    print_table(trees, times, memory, repetitions)
    if not all(tree.small for tree in trees):
        print("large tree: the touched pass rewrites one byte and the mtime of 1 of the 3 files")
    print("peak MiB: largest resident set of the copier's processes (rsync's own children"
          " included as a maximum, not a sum); ratios below 1: harrowkeeps-cmd is faster")

    failed = False
    for tree in trees:
        source = os.path.join(work, tree.key, "src")
        for tool in TOOLS:
            wrong = differences(source, target(tree, tool))
            if wrong:
                print(f"{tool}'s copy of {tree.title} differs from the source ({len(wrong)} differences):",
                      file=sys.stderr)
                for line in wrong[:20]:
                    print(f"  {line}", file=sys.stderr)
                failed = failed or tool == "harrowkeeps-cmd"
    if not failed:
        print("harrowkeeps-cmd's copies are equal to their sources (names, sizes, contents, mtimes to the second)")
    return 1 if failed else 0


def end_by_signal(_number, _frame):
    raise KeyboardInterrupt


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, end_by_signal)
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)
