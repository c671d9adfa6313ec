#!/usr/bin/env python3
"""What a backup promises, checked on the media users back up to: exFAT,
FAT32, NTFS (FUSE drivers on loop devices), an sshfs share, ext4 and tmpfs,
plus a FUSE file system of our own that fails chosen calls (errfs.py).

Every check runs the built harrowkeeps-cmd on a freshly made medium (rigs.py)
and holds it to the promise: the names shown as copied, the closing count
and the files present and current on the medium agree; whatever is not
copied is named and counted, and the exit code says so.

Usage: media_checks.py PROGRAM [--media exfat,sshfs] [--checks twins,racy]
                               [--ignore-known] [--list]
The environment can choose too: HKMEDIA=exfat,sshfs HKCHECKS=twins.

known-failures.txt beside this file lists the checks the copy engine is
known to fail: they run, and their failure is reported without failing the
run; one that passes fails the run, so that its line is removed (unless its
line says "sometimes:", for a fault that shows only with the right timing).
--ignore-known runs them as any other check.

Exit status: 0 all checks passed (known failures aside), 1 a check failed or
a known failure passed, 77 nothing could run (not root, no FUSE, packages
missing: the reasons are printed), 2 bad usage.
"""

import argparse
import contextlib
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rigs  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
KNOWN_FAILURES = os.path.join(HERE, "known-failures.txt")
TEMPORARY = re.compile(r"^\.hkcmd-.*\.tmp$")
NAME_LINE = re.compile(r"^[A-Z]:\\")
COPIED = re.compile(r"^(\d+) File\(s\) copied$")
NOT_COPIED = re.compile(r"^(\d+) File\(s\) not copied$")
RUN_SECONDS = 180


class CheckFailed(Exception):
    pass


class NotApplicable(Exception):
    """The check cannot be made on this medium (a driver's own fault that is
    no concern of the copier's, or nothing to check there)."""


def expect(condition, text):
    if not condition:
        raise CheckFailed(text)


# ---------------------------------------------------------------------------
# Running the program and reading what it said.

class Run:
    def __init__(self, exit_code, output):
        self.exit_code, self.output = exit_code, output
        self.lines = output.splitlines()

    def count(self, pattern):
        for line in self.lines:
            match = pattern.match(line)
            if match:
                return int(match.group(1))
        return None

    @property
    def copied(self):
        return self.count(COPIED)

    @property
    def not_copied(self):
        return self.count(NOT_COPIED) or 0

    def __str__(self):
        shown = self.output if len(self.output) < 3000 else self.output[:1500] + "\n...\n" + self.output[-1500:]
        return f"exit {self.exit_code}, output:\n" + "\n".join("    | " + line for line in shown.splitlines())


class Sandbox:
    """A source folder on the local disk (drive C:) and the medium (drive J:)."""

    def __init__(self, program, work, target):
        self.program, self.target = program, target
        self.source = os.path.join(work, "source")
        self.drives = os.path.join(work, "drives")
        os.makedirs(self.source)
        os.makedirs(self.drives)
        os.symlink(self.source, os.path.join(self.drives, "c:"))
        os.symlink(target.root, os.path.join(self.drives, "j:"))

    def command(self, text):
        return [self.program, "/CXCOPY " + text]

    def environment(self):
        return dict(os.environ, HARROWKEEPS_DRIVES=self.drives)

    def xcopy(self, text):
        """Runs the program to its end; standard output and error as one, in order."""
        result = subprocess.run(self.command(text), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, env=self.environment(), timeout=RUN_SECONDS,
                                start_new_session=True)
        return Run(result.returncode, result.stdout.decode("utf-8", "replace"))

    def backup(self, folder):
        return self.xcopy(f"C:\\{folder} J:\\{folder} /S /D /I /Y")


def write_tree(root, files, mtime=None, fresh=False):
    """Writes the files, dated `mtime`, or else (unless `fresh`) two minutes
    ago: a file written the moment before a backup is, by design, copied
    once more by the next run, since its copy's time cannot prove it whole
    where the medium keeps coarse times. Checks of what a later run does
    start from files that had settled."""
    if mtime is None and not fresh:
        mtime = time.time() - 120
    for relative, content in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
        if mtime is not None:
            os.utime(path, (mtime, mtime))


def content_tree(count, folders, seed, low=200, high=6000, marks=None):
    """`count` files spread over `folders` folders, ASCII names, distinct bytes;
    marks: {index: bytes} put at the start of those files."""
    rng = random.Random(seed)
    files = {}
    for n in range(count):
        body = (f"file {n} of {seed}\n".encode() + rng.randbytes(rng.randint(low, high)))
        if marks and n in marks:
            body = marks[n] + body
        files[os.path.join(f"Folder{n % folders:02d}", f"file{n:04d}.dat")] = body
    return files


def windows_path(prefix, relative):
    return prefix + "\\" + relative.replace("/", "\\")


def read_or_none(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def present(target_root, relative, content):
    """The file is under its exact name (case and all) with this content."""
    folder, name = os.path.split(os.path.join(target_root, relative))
    try:
        if name not in os.listdir(folder):
            return False
    except OSError:
        return False
    return read_or_none(os.path.join(folder, name)) == content


def temporaries(root):
    found = []
    for folder, _, names in os.walk(root):
        found.extend(os.path.relpath(os.path.join(folder, n), root) for n in names if TEMPORARY.match(n))
    return sorted(found)


def messages(run):
    """(index of the name line right above or None, text) for each message:
    a line that is neither a name shown nor a closing count, with the
    indented lines under it."""
    found = []
    for index, line in enumerate(run.lines):
        if NAME_LINE.match(line) or COPIED.match(line) or NOT_COPIED.match(line):
            continue
        if line.startswith(" ") and found and found[-1][2] == index - 1:
            above, text, _ = found[-1]
            found[-1] = (above, text + "\n" + line, index)
            continue
        above = index - 1 if index > 0 and NAME_LINE.match(run.lines[index - 1]) else None
        found.append((above, line, index))
    return [(above, text) for above, text, _ in found]


def file_of(line, folder, files):
    """The file a name line shows: the copied folder as typed (case
    ignored), then the file's own path, case and all (twins differ in it).
    A folder's path when the line names a folder of the tree (one that is
    not copied), None when it names nothing of it."""
    prefix = f"C:\\{folder}\\"
    if line[:len(prefix)].casefold() != prefix.casefold():
        return None
    rel = line[len(prefix):].replace("\\", "/")
    if rel in files or any(other.startswith(rel + "/") for other in files):
        return rel
    return None


def files_under(rel, files):
    """The file itself, or the files of the folder it names."""
    return {rel} if rel in files else {other for other in files if other.startswith(rel + "/")}


def file_paths(box, folder, rel):
    """The ways a message may name a file: its source and target path in
    drive form and as the host sees them, each also for the folders above
    it below the copied folder (a folder that could not be made)."""
    parts = rel.split("/")
    paths = []
    for n in range(len(parts), 0, -1):
        below = "/".join(parts[:n])
        paths += [windows_path(f"C:\\{folder}", below), windows_path(f"J:\\{folder}", below),
                  os.path.join(box.drives, "c:", folder, below), os.path.join(box.drives, "j:", folder, below)]
    return paths


def mentions(text, paths):
    return any(re.search(re.escape(path) + r"(?![^\s\"',])", text) for path in paths)


def reported_not_copied(run, box, folder, files):
    """The files the run named as not copied. A message is about the files
    whose paths it gives; one right after a name that gives that file's own
    path, or none, is about that name alone (XCOPY's way: the name, then
    why it was not copied), unless it is a list of files, one to a line."""
    forms = {rel: file_paths(box, folder, rel) for rel in files}
    reported = set()
    for above, text in messages(run):
        own = file_of(run.lines[above], folder, files) if above is not None else None
        named = {rel for rel in files if mentions(text, forms[rel])}
        # A list, one file to a line under it, is about each, even right
        # after a name.
        listed = {rel for rel in files
                  if any(line.strip() in forms[rel] for line in text.split("\n")[1:])}
        if own is not None and mentions(text, file_paths(box, folder, own)[:4]) and len(listed) < 2:
            reported |= files_under(own, files)
            continue
        if named:
            reported |= named
        elif own is not None:
            reported |= files_under(own, files)
    return reported


def account(run, box, folder, files):
    """Holds a finished run to the promise for the files of source folder
    `folder` backed up to target folder `folder`: every name shown and not
    named as not copied is present and current on the medium, the closing
    count is their number, and every file that is not there is named as not
    copied and counted, with exit 5. Returns the files there."""
    target = os.path.join(box.target.root, folder)
    there = {rel for rel, content in files.items() if present(target, rel, content)}
    missing = sorted(set(files) - there)
    names = [line for line in run.lines if NAME_LINE.match(line)]
    strangers = [line for line in names if file_of(line, folder, files) is None]
    expect(not strangers, f"names shown that are no source file: {strangers[:3]}; {run}")
    reported = reported_not_copied(run, box, folder, files)
    shown = [file_of(line, folder, files) for line in names]
    folders = [rel for rel in shown if rel not in files]
    expect(set().union(*(files_under(rel, files) for rel in folders)) <= reported,
           f"folders shown as names with no word why: {folders}; {run}")
    shown = [rel for rel in shown if rel in files and rel not in reported]
    expect(run.copied is not None, f"no closing count; {run}")
    shown_absent = [rel for rel in shown if rel not in there]
    expect(not shown_absent, f"shown as copied, not on the medium (or not current): {shown_absent[:5]}; {run}")
    expect(run.copied == len(shown),
           f"says {run.copied} File(s) copied where {len(shown)} names were shown as copied; {run}")
    unnamed = [rel for rel in missing if rel not in reported]
    expect(not unnamed, f"not on the medium and not named as not copied: {unnamed[:5]}; {run}")
    expect(run.not_copied == len(missing),
           f"says {run.not_copied} File(s) not copied where {len(missing)} are not on the medium; {run}")
    expected_exit = 5 if missing else 0
    expect(run.exit_code == expected_exit, f"exit {run.exit_code}, expected {expected_exit}; {run}")
    left = temporaries(box.target.root)
    expect(not left, f"temporaries left on the medium: {left[:5]}")
    return there


# ---------------------------------------------------------------------------
# What the medium does with names and times, found out the way a user would.

class Traits:
    def __init__(self, root):
        probe = os.path.join(root, ".hk-check-probe")
        os.mkdir(probe)
        try:
            self.case_sensitive = self._case_sensitive(probe)
            self.stamps_on_rename = self._stamps_on_rename(probe)
        finally:
            shutil.rmtree(probe, ignore_errors=True)

    @staticmethod
    def _case_sensitive(probe):
        """True or False for names beyond ASCII; None when the medium takes
        no such names at all (fusefat)."""
        try:
            with open(os.path.join(probe, "Ü"), "w") as f:
                f.write("upper")
        except OSError:
            return None
        return read_or_none(os.path.join(probe, "ü")) != b"upper"

    @staticmethod
    def _stamps_on_rename(probe):
        path = os.path.join(probe, "a")
        with open(path, "w") as f:
            f.write("x")
        os.utime(path, (946684800, 946684800))  # 2000-01-01
        os.rename(path, path + "b")
        return abs(os.stat(path + "b").st_mtime - 946684800) > 3


# ---------------------------------------------------------------------------
# The checks. Each takes the sandbox (source on the local disk, drive J: on
# a fresh medium) and raises CheckFailed or NotApplicable.

CHECKS = {}


def check(name, fault, media=rigs.KINDS):
    def register(function):
        CHECKS[name] = (function, fault, media)
        return function
    return register


@check("copy", "-")
def check_copy(box):
    """A tree backed up, then backed up again unchanged: all there, current,
    counted; the second run copies nothing it need not."""
    files = content_tree(60, 3, "copy")
    write_tree(os.path.join(box.source, "Tree"), files)
    first = box.backup("Tree")
    account(first, box, "Tree", files)
    expect(first.copied == len(files), f"the first run copied {first.copied} of {len(files)}; {first}")
    traits = Traits(box.target.root)
    if not traits.stamps_on_rename:
        for rel in files:
            source = os.stat(os.path.join(box.source, "Tree", rel)).st_mtime
            copy = os.stat(os.path.join(box.target.root, "Tree", rel)).st_mtime
            expect(abs(source - copy) <= 2, f"{rel}: modification time {copy}, source {source}")
    second = box.backup("Tree")
    account(second, box, "Tree", files)


@check("twins", "1 case")
def check_twins(box):
    """Names that differ only in a non-ASCII letter's case (Ü.txt and ü.txt,
    folders Äpfel and äpfel): both copied where the medium can hold both;
    where it cannot, the second is named as not copied, exit 5. A second
    run must not copy one over the other."""
    files = {"Ü.txt": b"upper U umlaut\n", "ü.txt": b"lower u umlaut\n",
             "Äpfel/x.txt": b"upper A umlaut folder\n", "äpfel/x.txt": b"lower a umlaut folder\n",
             "plain.txt": b"plain\n"}
    write_tree(os.path.join(box.source, "D"), files)
    traits = Traits(box.target.root)
    first = box.backup("D")
    there = account(first, box, "D", files)
    if traits.case_sensitive:
        expect(there == set(files), f"a case-sensitive medium, yet not all twins copied: {sorted(there)}")
    elif traits.case_sensitive is False:
        for pair in (("Ü.txt", "ü.txt"), ("Äpfel/x.txt", "äpfel/x.txt")):
            expect(len(there & set(pair)) == 1, f"of the twins {pair} {sorted(there & set(pair))} are there")
    second = box.backup("D")
    account(second, box, "D", files)
    expect(second.copied == 0, f"the second run copied again ({second.copied}); {second}")


@check("lookup", "1 case")
def check_lookup(box):
    """C:\\BÜCHER finds the source folder Bücher, and the target J:\\BÜCHER is
    the folder Bücher already on the medium, not a second one beside it."""
    write_tree(os.path.join(box.source, "Bücher"), {"a.txt": b"a book\n"})
    try:
        os.mkdir(os.path.join(box.target.root, "Bücher"))
    except OSError as error:
        raise NotApplicable(f"the driver makes no folder Bücher ({error.strerror})")
    before = set(os.listdir(box.target.root))  # ext4's lost+found too
    run = box.xcopy("C:\\BÜCHER J:\\BÜCHER /S /D /I /Y")
    expect(run.exit_code == 0 and run.copied == 1, f"C:\\BÜCHER should be Bücher; {run}")
    made = sorted(set(os.listdir(box.target.root)) - before)
    expect(not made, f"the copy made {made} beside Bücher")
    expect(read_or_none(os.path.join(box.target.root, "Bücher", "a.txt")) == b"a book\n",
           "Bücher/a.txt is not the copy")


def wait_until_second_starts(offset=0.05, even=True):
    """Sleeps to `offset` past the next whole (even) second; returns that second."""
    now = time.time()
    second = int(now) + 1
    if even and second % 2:
        second += 1
    time.sleep(second + offset - now)
    return second


@check("racy", "2 time step")
def check_racy(box):
    """A file written just after a whole second is backed up at once and
    edited 0.4 s later (same size; a second file changes size): within the
    time step of FAT (2 s), exFAT and sshfs (1 s). The next run must copy
    both."""
    for attempt in range(5):
        folder = f"Racy{attempt}"
        base = os.path.join(box.source, folder)
        second = wait_until_second_starts()
        write_tree(base, {"same.txt": b"version 1\n", "grows.txt": b"version 1\n"}, fresh=True)
        first = box.backup(folder)
        expect(first.exit_code == 0 and first.copied == 2, f"the first backup failed; {first}")
        delay = second + 0.45 - time.time()
        if delay > 0:
            time.sleep(delay)
        write_tree(base, {"same.txt": b"version 2\n", "grows.txt": b"version 2, longer\n"}, fresh=True)
        if os.stat(os.path.join(base, "same.txt")).st_mtime >= second + 1:
            continue  # the first run took too long: the edit is not within the step
        after = {"same.txt": b"version 2\n", "grows.txt": b"version 2, longer\n"}
        second_run = box.backup(folder)
        stale = [rel for rel, content in after.items()
                 if read_or_none(os.path.join(box.target.root, folder, rel)) != content]
        expect(not stale, f"edited {time.time() - second:.2f} s after a whole second, the backup "
               f"made at once keeps the first version of {stale}; {second_run}")
        account(second_run, box, folder, after)
        return
    # A machine this busy cannot show the fault; saying so beats a pass that proves nothing.
    raise NotApplicable("in 5 tries the first backup never ended within 0.4 s of the file's time")


@check("stamp", "3 own times")
def check_stamp(box):
    """The source, two hours old, is backed up; then replaced by a newer
    version dated an hour ago (as an unpacked archive gives). The next run
    must copy it, whatever time the medium put on the copy."""
    now = time.time()
    base = os.path.join(box.source, "Stamp")
    write_tree(base, {"notes.txt": b"old version\n"}, mtime=now - 7200)
    first = box.backup("Stamp")
    expect(first.exit_code == 0 and first.copied == 1, f"the first backup failed; {first}")
    write_tree(base, {"notes.txt": b"new version\n"}, mtime=now - 3600)
    run = box.backup("Stamp")
    copy = os.path.join(box.target.root, "Stamp", "notes.txt")
    expect(read_or_none(copy) == b"new version\n",
           f"the source dated an hour ago was not copied over the copy of the one dated two hours ago "
           f"(the copy is dated {(os.stat(copy).st_mtime - now) / 60:+.0f} min from now); {run}")
    account(run, box, "Stamp", {"notes.txt": b"new version\n"})


@check("readonly", "4 no probe")
def check_readonly(box):
    """An up-to-date backup on a medium mounted read-only: nothing to copy,
    "0 File(s) copied", exit 0."""
    files = content_tree(20, 2, "readonly")
    write_tree(os.path.join(box.source, "Tree"), files)
    first = box.backup("Tree")
    account(first, box, "Tree", files)
    box.target.remount(read_only=True)
    run = box.backup("Tree")
    expect(run.exit_code == 0 and run.copied == 0 and run.not_copied == 0,
           f"an up-to-date backup on a read-only medium; {run}")


@check("flush", "5 data on medium", media=("exfat", "fat32", "ntfs", "ext4", "sshfs"))
def check_flush(box):
    """After "N File(s) copied" every file is on the medium: a copy of the
    image made at once, asking the driver nothing, holds all N with their
    data. On sshfs the server must have been asked to flush each file
    (fsync@openssh.com) before it was named."""
    files = content_tree(100, 2, "flush")
    write_tree(os.path.join(box.source, "Tree"), files)
    if box.target.kind == "sshfs":
        return check_flush_requests(box, files)
    run = box.backup("Tree")
    with box.target.snapshot() as image:
        missing = sorted(rel for rel, content in files.items()
                         if read_or_none(os.path.join(image, "Tree", rel)) != content)
    account(run, box, "Tree", files)
    expect(not missing, f"after \"{run.copied} File(s) copied\" {len(missing)} of {len(files)} files are not "
           f"on the image (first: {missing[:3]})")


def sftp_requests(log):
    """(request, path, new path) from the SFTP server's log, in order."""
    requests = []
    with open(log, errors="replace") as f:
        for line in f:
            match = re.match(r'^(?:\S+: )?(open|close|fsync|rename|posix-rename|hardlink|link) '
                             r'(?:old )?"(.*?)"(?: new "(.*?)")?', line.strip())
            if match:
                requests.append(match.groups())
    return requests


def check_flush_requests(box, files):
    run = box.backup("Tree")
    account(run, box, "Tree", files)
    requests = sftp_requests(box.target.sftp_log)
    server = os.path.join(box.target.server_dir, "Tree")
    named = {}      # final path -> the path whose data it got, and whether that was flushed
    flushed = set()
    for request, path, new in requests:
        if request == "open":
            flushed.discard(path)
        elif request == "fsync":
            flushed.add(path)
        elif new is not None:
            named[new] = path in flushed
        elif request == "close" and path not in named:
            named.setdefault(path, path in flushed)
    unflushed = sorted(rel for rel in files if not named.get(os.path.join(server, rel), False))
    expect(not unflushed, f"{len(unflushed)} of {len(files)} files were named on the server without a flush "
           f"request (fsync@openssh.com) first, e.g. {unflushed[:3]}; "
           f"{sum(1 for r in requests if r[0] == 'fsync')} flush requests in all")


@check("flush-error", "5 data on medium", media=("errfs",))
def check_flush_error(box):
    """A flush (fsync) or close that fails means the file was not copied:
    named, counted as not copied, exit non-zero; the others are copied."""
    marks = {37: b"FAIL-FSYNC", 71: b"FAIL-FLUSH"}
    files = content_tree(100, 2, "flush-error", marks=marks)
    write_tree(os.path.join(box.source, "Tree"), files)
    run = box.backup("Tree")
    failing = sorted(rel for rel, content in files.items() if content.startswith((b"FAIL-FSYNC", b"FAIL-FLUSH")))
    for rel in failing:
        expect(read_or_none(os.path.join(box.target.root, "Tree", rel)) is None,
               f"{rel} is under its name although its flush or close failed; {run}")
    account(run, box, "Tree", files)


@check("leftover", "6 temporary left", media=("errfs",))
def check_leftover(box):
    """A copy fails (ENOSPC) and its temporary cannot be removed: the run
    says which temporary it left; the next run, on a sound medium, removes
    it."""
    files = content_tree(10, 1, "leftover", marks={4: b"FAIL-WRITE"})
    write_tree(os.path.join(box.source, "Tree"), files)
    run = box.backup("Tree")
    expect(run.exit_code != 0, f"a write failed, yet exit 0; {run}")
    left = temporaries(box.target.root)
    unsaid = [path for path in left if os.path.basename(path) not in run.output]
    expect(not unsaid, f"temporaries left without a word: {unsaid}; {run}")
    os.unlink(box.target.armed)
    again = box.backup("Tree")
    expect(again.exit_code == 0, f"the run after the fault; {again}")
    left = temporaries(box.target.root)
    expect(not left, f"the next run did not remove the temporaries left: {left}")


def start_and_stop(box, folder, names_first, files):
    """Starts a backup of `folder`, sends SIGINT once `names_first` names were
    shown; the finished Run, or NotApplicable when it ended before."""
    process = subprocess.Popen(box.command(f"C:\\{folder} J:\\{folder} /S /D /I /Y"),
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               env=box.environment(), start_new_session=True)
    output, names, deadline = b"", 0, time.monotonic() + RUN_SECONDS
    try:
        while names < names_first and time.monotonic() < deadline:
            ready, _, _ = select.select([process.stdout], [], [], 1)
            if ready:
                chunk = os.read(process.stdout.fileno(), 65536)
                if not chunk:
                    break
                output += chunk
                names = sum(1 for line in output.decode("utf-8", "replace").splitlines() if NAME_LINE.match(line))
        process.send_signal(signal.SIGINT)
        rest, _ = process.communicate(timeout=RUN_SECONDS)
        output += rest
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    run = Run(process.returncode, output.decode("utf-8", "replace"))
    if run.copied is not None:
        raise NotApplicable(f"the run ended before the stop reached it; {run}")
    expect(names >= names_first, f"only {names} names in {RUN_SECONDS} s before the stop; {run}")
    return run


@check("stop", "stop")
def check_stop(box):
    """Ctrl+C (SIGINT) during the copy of many files: exit 2; no partial file
    under a final name, no temporary; every name shown whose file is not
    on the medium is said to be not copied (named again after it was shown,
    or one line "the last K names shown were not copied")."""
    files = content_tree(400, 4, "stop", low=16000, high=48000)
    write_tree(os.path.join(box.source, "Tree"), files)
    run = start_and_stop(box, "Tree", 40, files)
    expect(run.exit_code == 2, f"stopped by SIGINT: exit {run.exit_code}, expected 2; {run}")
    target = os.path.join(box.target.root, "Tree")
    partial = [rel for rel, content in files.items()
               if read_or_none(os.path.join(target, rel)) not in (None, content)]
    expect(not partial, f"partial files under their final names: {partial[:5]}")
    expect(not temporaries(box.target.root), f"temporaries left: {temporaries(box.target.root)[:5]}")
    shown = [line for line in run.lines if NAME_LINE.match(line)]
    absent = [file_of(line, "Tree", files) for line in shown]
    absent = [rel for rel in absent if not present(target, rel, files[rel])]
    if not absent:
        return
    last_name = max(i for i, line in enumerate(run.lines) if NAME_LINE.match(line))
    after = "\n".join(run.lines[last_name + 1:])
    said = re.search(rf"\blast {len(absent)}\b.*not copied", after, re.IGNORECASE) is not None
    reported = reported_not_copied(run, box, "Tree", files)
    unsaid = [rel for rel in absent if not said and rel not in reported]
    expect(not unsaid, f"{len(absent)} of the {len(shown)} names shown are not on the medium, and "
           f"{len(unsaid)} of them are not said to be not copied (e.g. {unsaid[:3]}); {run}")


@check("leftover-stop", "6 temporary left", media=("errfs",))
def check_leftover_stop(box):
    """A run stopped by SIGINT whose temporaries cannot be removed says which
    it left; the next run, on a sound medium, removes them."""
    marks = {n: b"FAIL-UNLINK" for n in range(200)}
    files = content_tree(200, 2, "leftover-stop", low=8000, high=16000, marks=marks)
    write_tree(os.path.join(box.source, "Tree"), files)
    run = start_and_stop(box, "Tree", 20, files)
    left = temporaries(box.target.root)
    unsaid = [path for path in left if os.path.basename(path) not in run.output]
    expect(not unsaid, f"the stop left {len(left)} temporaries, {len(unsaid)} of them without a word "
           f"(e.g. {unsaid[:3]}); {run}")
    os.unlink(box.target.armed)
    again = box.backup("Tree")
    account(again, box, "Tree", files)


@check("missing-source", "exit code", media=("tmpfs",))
def check_missing_source(box):
    """A source folder that does not exist: XCOPY's exit code 4."""
    run = box.xcopy("C:\\Nothing J:\\Nothing /S /D /I /Y")
    expect(run.exit_code == 4, f"a missing source folder; expected exit 4; {run}")


# ---------------------------------------------------------------------------
# Known failures and the runner.

def read_known_failures():
    """{(medium, check): what goes wrong} from the lines "medium check text"."""
    known = {}
    with open(KNOWN_FAILURES) as f:
        for line in f:
            if line.strip() and not line.lstrip().startswith("#"):
                medium, name, *why = line.split(None, 2)
                known[medium, name] = why[0].strip() if why else ""
    return known


def medium_options(kind, name):
    options = {}
    if kind == "sshfs" and name == "flush":
        options["log_requests"] = True
    return options


def run_one(program, kind, name, work_parent):
    """'pass', ('fail', text), ('n/a', text) or ('skip', text)."""
    function, _, _ = CHECKS[name]
    work = tempfile.mkdtemp(prefix=f"hk-check-{name}-", dir=work_parent)
    try:
        with rigs.medium(kind, work, **medium_options(kind, name)) as target:
            box = Sandbox(program, work, target)
            function(box)
        return "pass", ""
    except rigs.Unavailable as error:
        return "skip", str(error)
    except NotApplicable as error:
        return "n/a", str(error)
    except CheckFailed as error:
        return "fail", str(error)
    except Exception as error:  # a broken rig or check fails the check, with its trace
        return "fail", "".join(traceback.format_exception(error)).strip()
    finally:
        rigs.remove_folder(work)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program")
    parser.add_argument("--media", default=os.environ.get("HKMEDIA", ""))
    parser.add_argument("--checks", default=os.environ.get("HKCHECKS", ""))
    parser.add_argument("--ignore-known", action="store_true",
                        default=os.environ.get("HKMEDIA_IGNORE_KNOWN") == "1")
    parser.add_argument("--list", action="store_true", help="list media, checks and known failures")
    arguments = parser.parse_args()
    all_media = rigs.KINDS + ("errfs",)
    media = [m for m in arguments.media.replace(",", " ").split()] or list(all_media)
    names = [c for c in arguments.checks.replace(",", " ").split()] or list(CHECKS)
    unknown = [m for m in media if m not in all_media] + [c for c in names if c not in CHECKS]
    if unknown:
        print(f"unknown medium or check: {' '.join(unknown)}; media: {' '.join(all_media)}; "
              f"checks: {' '.join(CHECKS)}", file=sys.stderr)
        return 2
    known = {} if arguments.ignore_known else read_known_failures()
    if arguments.list:
        for name, (function, fault, on) in CHECKS.items():
            print(f"{name:<15} fault {fault:<18} on {' '.join(on)}")
            print("    " + " ".join(function.__doc__.split()))
        print("known failures:", " ".join(f"{m}:{c}" for m, c in known) or "none")
        return 0
    program = os.path.abspath(arguments.program)
    if not os.access(program, os.X_OK):
        print(f"no program at {program}", file=sys.stderr)
        return 2

    rigs.stop_on_termination()
    results, skipped = {}, {}
    work_parent = tempfile.mkdtemp(prefix="hk-media-checks-")
    try:
        for kind in media:
            why = rigs.unavailable(kind)
            if why:
                skipped[kind] = why
                print(f"SKIP  {kind}: {why}", flush=True)
                continue
            for name in names:
                if kind not in CHECKS[name][2]:
                    continue
                started = time.monotonic()
                outcome, text = run_one(program, kind, name, work_parent)
                if outcome == "fail" and (kind, name) in known:
                    outcome = "xfail"
                elif outcome == "pass" and (kind, name) in known:
                    if known[kind, name].startswith("sometimes:"):
                        text = f"listed in {os.path.basename(KNOWN_FAILURES)}, passed this time"
                    else:
                        outcome = "XPASS"
                        text = f"listed in {os.path.basename(KNOWN_FAILURES)} but passes: remove its line"
                results[kind, name] = outcome
                label = {"pass": "ok", "fail": "FAIL", "xfail": "known", "XPASS": "XPASS",
                         "n/a": "n/a", "skip": "SKIP"}[outcome]
                print(f"{label:<5} {kind:<6} {name:<15} {time.monotonic() - started:5.1f}s"
                      + (f"  {text}" if text and outcome != "xfail" else "")
                      + (f"  (known: {known[kind, name]})" if outcome == "xfail" else ""), flush=True)
                if outcome == "xfail" and os.environ.get("HKMEDIA_VERBOSE") == "1":
                    print("      " + text.replace("\n", "\n      "), flush=True)
    except KeyboardInterrupt:
        print("stopped", file=sys.stderr)
        return 130
    finally:
        rigs.remove_folder(work_parent)

    print_table(media, names, results)
    counts = {state: sum(1 for r in results.values() if r == state)
              for state in ("pass", "fail", "xfail", "XPASS", "n/a", "skip")}
    print(f"media checks: {counts['pass']} passed, {counts['fail'] + counts['XPASS']} failed, "
          f"{counts['xfail']} known failures, {counts['n/a']} not applicable, "
          f"{len(skipped)} media skipped")
    if counts["fail"] or counts["XPASS"]:
        return 1
    if not results:
        return 77
    return 0


def print_table(media, names, results):
    ran = [m for m in media if any((m, n) in results for n in names)]
    if not ran:
        return
    print()
    print(f"{'check':<15} {'fault':<18}" + "".join(f"{m:>8}" for m in ran))
    for name in names:
        cells = [results.get((m, name), "") for m in ran]
        if any(cells):
            print(f"{name:<15} {CHECKS[name][1]:<18}" + "".join(f"{c:>8}" for c in cells))


if __name__ == "__main__":
    sys.exit(main())
