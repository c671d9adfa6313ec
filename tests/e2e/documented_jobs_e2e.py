"""What the user documents promise about the jobs is what the program does.

Usage: documented_jobs_e2e.py PROGRAM DOCUMENT...

Each document (README.md, README-Windows.txt, a man page) lists all 21 jobs with the folder
each copies and where to. The documents must agree with one another, and the real program,
started as a user starts it (no COMSPEC, so the harrowkeeps-cmd beside it runs the jobs, with a
drives folder of links), must copy exactly that: every documented job run once, after S Enter
Enter, and then the target drive holds the documented copies and nothing else.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from tmux_session import TmuxSession
from main_menu_e2e import menu_shown
from jobs_e2e import PAUSE, menu2_shown

PROGRAM = None
DOCUMENTS = []

JOB_COUNT = 21


def job(key, menu, source, target, mask=None):
    return (key, menu, source, mask, target)


def readme_jobs(text):
    jobs = []
    for line in text.splitlines():
        m = re.match(r"^\| (\S) \| (main|II) \| (.+?) \| (.+?) \|$", line)
        if not m:
            continue
        copies = re.findall(r"`([^`]*)`", m.group(3))
        to = re.findall(r"`([^`]*)`", m.group(4))
        if len(copies) == 2:
            jobs.append(job(m.group(1), m.group(2), copies[1], to[0], mask=copies[0]))
        else:
            jobs.append(job(m.group(1), m.group(2), copies[0], to[0]))
    return jobs


def plain_text_jobs(text):
    """Rows of a plain-text table: key, menu, what is copied, where to (a J: path)."""
    jobs = []
    for line in text.splitlines():
        m = re.match(r"^\s+(\S)\s+(main|II)\s+(.+?)\s{2,}(J:\\.*?)\s*$", line)
        if not m:
            continue
        copies = re.sub(r"\s*\(.*\)$", "", m.group(3))
        masked = re.match(r"^the (\S+) files of (.+)$", copies)
        if masked:
            jobs.append(job(m.group(1), m.group(2), masked.group(2), m.group(4),
                            mask=masked.group(1)))
        else:
            jobs.append(job(m.group(1), m.group(2), copies, m.group(4)))
    return jobs


def man_page_jobs(path):
    rendered = subprocess.run(["mandoc", "-T", "ascii", path], check=True,
                              capture_output=True, text=True).stdout
    return plain_text_jobs(re.sub(".\b", "", rendered))


def documented_jobs(path):
    if path.endswith(".md"):
        with open(path, encoding="utf-8") as f:
            return readme_jobs(f.read())
    if path.endswith(".txt"):
        with open(path, encoding="utf-8", newline="") as f:
            return plain_text_jobs(f.read().replace("\r\n", "\n"))
    return man_page_jobs(path)


class Drives:
    """A drives folder with links c:, d: and j:, each to a folder of its own."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-drives-")
        self.links = os.path.join(self.dir, "drives")
        os.mkdir(self.links)
        for letter in "cdj":
            os.mkdir(os.path.join(self.dir, letter))
            os.symlink(os.path.join(self.dir, letter), os.path.join(self.links, letter + ":"))

    def host_path(self, windows_path):
        drive, rest = windows_path[0].lower(), windows_path[3:]
        assert windows_path[1:3] == ":\\", windows_path
        return os.path.join(self.dir, drive, *[p for p in rest.split("\\") if p])

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def files_below(folder):
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            with open(path) as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


def matches(mask, name):
    return mask is None or (mask.lower() == "*.bas" and name.lower().endswith(".bas"))


class DocumentedJobs(unittest.TestCase):
    maxDiff = None

    def test_the_documents_list_the_same_jobs(self):
        tables = {path: sorted(documented_jobs(path)) for path in DOCUMENTS}
        first = DOCUMENTS[0]
        self.assertEqual(len(tables[first]), JOB_COUNT, tables[first])
        self.assertEqual(len({(k, m) for k, m, *_ in tables[first]}), JOB_COUNT)
        for path in DOCUMENTS[1:]:
            self.assertEqual(tables[path], tables[first], "%s and %s differ" % (path, first))

    def test_each_job_copies_what_the_documents_say(self):
        jobs = documented_jobs(DOCUMENTS[0])
        self.assertEqual(len(jobs), JOB_COUNT)
        drives = Drives()
        try:
            # In every source folder: a file per job naming it, one that a mask leaves out,
            # and one in a sub-folder.
            for key, menu, source, mask, _ in jobs:
                folder = drives.host_path(source)
                os.makedirs(os.path.join(folder, "sub"), exist_ok=True)
                for name in ("job-%s-%s.bas" % (menu, key), "job-%s-%s.txt" % (menu, key),
                             os.path.join("sub", "deep-%s-%s.bas" % (menu, key))):
                    with open(os.path.join(folder, name), "w") as f:
                        f.write("%s %s %s\n" % (menu, key, name))

            expected = {}
            counts = {}
            for key, menu, source, mask, target in jobs:
                copied = {name: text for name, text in files_below(drives.host_path(source)).items()
                          if matches(mask, os.path.basename(name))}
                counts[(key, menu)] = len(copied)
                prefix = os.path.relpath(drives.host_path(target), os.path.join(drives.dir, "j"))
                for name, text in copied.items():
                    expected[os.path.join(prefix, name)] = text

            env = {"COMSPEC": None, "HARROWKEEPS_DRIVES": drives.links}
            with TmuxSession(PROGRAM, env=env, cwd=drives.dir) as t:
                t.wait_for(menu_shown, what="the main menu")
                t.send("s")
                t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17], what="drives")
                t.send("Enter")
                t.wait_for(lambda r: len(r) > 22 and "TARGET Drive" in r[21], what="target")
                t.send("Enter")
                for menu, shown in (("main", menu_shown), ("II", menu2_shown)):
                    if menu == "II":
                        t.send("a")
                    for key, job_menu, *_ in jobs:
                        if job_menu != menu:
                            continue
                        t.wait_for(shown, what="the menu before job %s %s" % (menu, key))
                        t.send(key.lower())
                        rows = t.wait_for_text(PAUSE)
                        summary = "%d File(s) copied" % counts[(key, menu)]
                        self.assertIn(summary, rows, "job %s in menu %s" % (key, menu))
                        t.send("Space")
                    t.wait_for(shown, what="the menu after the last job")
                t.send("x")  # back to the main menu
                t.wait_for(menu_shown, what="the main menu after Menu II")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)

            self.assertEqual(files_below(os.path.join(drives.dir, "j")), expected)
        finally:
            drives.close()


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    while len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        DOCUMENTS.append(sys.argv.pop(1))
    unittest.main()
