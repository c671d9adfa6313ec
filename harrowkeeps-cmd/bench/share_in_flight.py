#!/usr/bin/env python3
"""How many files in flight a share with 1 ms round trips needs before the
share or the cores are the limit: share_in_flight.c copies 1,000 files of
2 KB in 20 folders onto an sshfs share (an sshd of its own on the loopback,
through the delay relay) with 1, 2, 4, ... 64 threads, each file start to end
on one thread, and this prints the time, files per second and where the
processor time went.

Usage: share_in_flight.py [work folder] [repetitions]
HKBENCH_THREADS=1,4,16 chooses the thread counts, HKBENCH_SHARE_DELAY_MS the
relay's delay each way (0.5). Needs root, /dev/fuse, openssh-server, sshfs
and a C compiler; says why it cannot run otherwise.
"""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "media"))
import rigs  # noqa: E402

FILES, SIZE, FOLDERS = 1000, 2048, 20
TICKS = os.sysconf("SC_CLK_TCK")


def machine_busy():
    """(busy, total) jiffies of all cores."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]
    return sum(values) - idle, sum(values)


def descendants(roots):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                continue
            children.setdefault(parent, []).append(int(entry))
    found, todo = [], list(roots)
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += sum(int(v) for v in fields[11:15])  # utime stime cutime cstime
    return total / TICKS


def main():
    work = sys.argv[1] if len(sys.argv) > 1 else tempfile.gettempdir()
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    threads = [int(n) for n in os.environ.get("HKBENCH_THREADS", "1,2,4,8,16,32,64").split(",")]
    delay = float(os.environ.get("HKBENCH_SHARE_DELAY_MS", "0.5"))
    why = rigs.unavailable("sshfs") or (None if shutil.which("cc") else "no C compiler (cc)")
    if why:
        print(f"share_in_flight: skipped: {why}")
        return 0
    rigs.stop_on_termination()
    folder = tempfile.mkdtemp(prefix="hk-in-flight-", dir=work)
    try:
        program = os.path.join(folder, "share_in_flight")
        subprocess.run(["cc", "-O2", "-pthread", "-o", program, os.path.join(HERE, "share_in_flight.c")],
                       check=True)
        with rigs.medium("sshfs", folder, delay_ms=delay) as share:
            print(f"{FILES:,} files of {SIZE} B in {FOLDERS} folders onto sshfs through a relay of "
                  f"{delay} ms each way; median of {repetitions}; sshfs mounted afresh before each run; "
                  f"{os.cpu_count()} cores")
            print(f"{'mode':<8}{'threads':>8}{'seconds':>9}{'files/s':>9}{'machine busy':>14}"
                  f"   CPU s: {'sshfs+ssh':>9}{'sshd':>7}{'relay':>7}{'copier':>8}")
            for mode in ("durable", "plain"):
                for count in threads:
                    rows = []
                    for repetition in range(repetitions):
                        share.remount(read_only=False)
                        # sshfs with its ssh; sshd with its session and sftp-server; the relay.
                        roots = [share.fuse_process()] + [p.pid for p in share.servers]
                        target = os.path.join(share.root, f"{mode}-{count}-{repetition}")
                        busy0, total0 = machine_busy()
                        before = [cpu_seconds(descendants([root])) for root in roots]
                        copier0 = resource.getrusage(resource.RUSAGE_CHILDREN)
                        result = subprocess.run([program, target, str(FILES), str(SIZE), str(FOLDERS),
                                                 str(count), mode], capture_output=True, text=True)
                        copier1 = resource.getrusage(resource.RUSAGE_CHILDREN)
                        after = [cpu_seconds(descendants([root])) for root in roots]
                        busy1, total1 = machine_busy()
                        if result.returncode != 0:
                            sys.exit(f"share_in_flight failed: {result.stderr.strip()}")
                        rows.append([float(result.stdout), (busy1 - busy0) / max(1, total1 - total0)]
                                    + [b - a for a, b in zip(before, after)]
                                    + [copier1.ru_utime + copier1.ru_stime - copier0.ru_utime - copier0.ru_stime])
                    median = [statistics.median(r[i] for r in rows) for i in range(len(rows[0]))]
                    print(f"{mode:<8}{count:>8}{median[0]:>9.2f}{FILES / median[0]:>9.0f}{median[1] * 100:>13.0f}%"
                          f"          {median[2]:>9.2f}{median[3]:>7.2f}{median[4]:>7.2f}{median[5]:>8.2f}",
                          flush=True)
        print("machine busy: all cores, every process (other work on the machine too); CPU s: processor "
              "seconds of each part during the run (sshd: its session and sftp-server)")
    except KeyboardInterrupt:
        return 130
    finally:
        rigs.remove_folder(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
