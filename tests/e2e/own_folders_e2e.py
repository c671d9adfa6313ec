"""The README's first backup and its "Backing up your own folders", done as written, in a home
made like a fresh desktop user's: Documents, Pictures, Music and the others the desktop makes
at the first login, no "My Documents". HOME and the XDG folders point into a temporary folder,
and a folder there stands for the removable backup disk.

Usage: own_folders_e2e.py PROGRAM README   (harrowkeeps-cmd is taken from beside PROGRAM)

The commands are taken from the README's code blocks, so a README that changes them is tried
as it then reads.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

from input_screens_e2e import TARGET_PROMPT, open_generalized_backup, source_row, target_row
from jobs_e2e import PAUSE, leave_generalized_backup
from documented_jobs_e2e import files_below
from main_menu_e2e import menu_shown
from tmux_session import TmuxSession

PROGRAM = None
README = None

# As xdg-user-dirs-update writes it at a desktop user's first login.
USER_DIRS = """# This file is written by xdg-user-dirs-update
# If you want to change or add directories, just edit the line you're
# interested in. All local changes will be retained on the next run.
# Format is XDG_xxx_DIR="$HOME/yyy", where yyy is a shell-escaped
# homedir-relative path, or XDG_xxx_DIR="/yyy", where /yyy is an
# absolute path. No other format is supported.
#
XDG_DESKTOP_DIR="$HOME/Desktop"
XDG_DOWNLOAD_DIR="$HOME/Downloads"
XDG_TEMPLATES_DIR="$HOME/Templates"
XDG_PUBLICSHARE_DIR="$HOME/Public"
XDG_DOCUMENTS_DIR="$HOME/Documents"
XDG_MUSIC_DIR="$HOME/Music"
XDG_PICTURES_DIR="$HOME/Pictures"
XDG_VIDEOS_DIR="$HOME/Videos"
"""
DESKTOP_FOLDERS = ["Desktop", "Documents", "Downloads", "Music", "Pictures", "Public",
                   "Templates", "Videos"]


def section(text, heading):
    """The text under a heading, up to the next heading of the same or a higher level."""
    level = len(heading) - len(heading.lstrip("#"))
    start = text.index(heading + "\n")
    rest = text[start + len(heading) + 1:]
    end = re.search(r"^#{1,%d} " % level, rest, re.M)
    return rest[:end.start()] if end else rest


def code_blocks(text):
    """The indented code blocks, each dedented: runs of lines indented by four or more blanks
    (more within a list item) after a blank line."""
    blocks, current, indent, previous_blank = [], None, 0, True
    for line in text.split("\n"):
        leading = len(line) - len(line.lstrip(" "))
        if current is not None and (line.strip() == "" or leading >= indent):
            current.append(line[indent:])
            continue
        if current is not None:
            blocks.append("\n".join(current).strip("\n") + "\n")
            current = None
        if previous_blank and line.strip() and leading >= 4 and not line.lstrip().startswith("- "):
            current, indent = [line[leading:]], leading
        previous_blank = line.strip() == ""
    if current is not None:
        blocks.append("\n".join(current).strip("\n") + "\n")
    return blocks


def block_with(text, part):
    found = [b for b in code_blocks(text) if part in b]
    assert len(found) == 1, "no one code block with %r: %r" % (part, found)
    return found[0]


def everything_below(folder, leave_out):
    """Every entry with its kind and content, links not followed."""
    seen = {}
    for parent, folders, names in os.walk(folder):
        folders[:] = [f for f in folders if os.path.join(parent, f) != leave_out]
        for name in folders + names:
            path = os.path.join(parent, name)
            if os.path.islink(path):
                seen[path] = "-> " + os.readlink(path)
            elif os.path.isdir(path):
                seen[path] = "/"
            else:
                with open(path, "rb") as f:
                    seen[path] = f.read()
    return seen


class OwnFolders(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        with open(README, encoding="utf-8") as f:
            self.readme = f.read()
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-own-")
        self.home = os.path.join(self.dir, "home", "avo")
        self.disk = os.path.join(self.dir, "media", "avo", "BACKUP")
        os.makedirs(self.disk)
        os.makedirs(os.path.join(self.home, ".config"))
        with open(os.path.join(self.home, ".config", "user-dirs.dirs"), "w") as f:
            f.write(USER_DIRS)
        for folder in DESKTOP_FOLDERS:
            os.makedirs(os.path.join(self.home, folder))
        self.write("Documents/letter.odt", "dear bank")
        self.write("Documents/Taxes/2025.ods", "figures")
        self.write("Pictures/holiday.jpg", "sunny")
        self.write("Music/song.ogg", "la la")
        self.drives = os.path.join(self.home, ".local", "share", "harrowkeeps", "drives")
        self.bin = os.path.dirname(os.path.abspath(PROGRAM))
        self.env = {
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_STATE_HOME": os.path.join(self.home, ".local", "state"),
            "HARROWKEEPS_DRIVES": None,
            "COMSPEC": None,
            "PATH": self.bin + ":" + os.environ.get("PATH", "/usr/bin:/bin"),
            "LANG": "C.UTF-8",
        }

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, name, text):
        path = os.path.join(self.home, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def shell(self, script):
        """A README block run by sh as a user runs it, in the made-up home."""
        env = dict(os.environ)
        for key, value in self.env.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        return subprocess.run(["sh", "-c", script], env=env, cwd=self.home, capture_output=True,
                              text=True, stdin=subprocess.DEVNULL)

    def our_disk(self, block):
        return block.replace("/media/$USER/BACKUP", shlex.quote(self.disk))

    def make_drives(self):
        block = block_with(section(self.readme, "## Your first backup"), "--make-drives")
        line = [l for l in block.splitlines() if "--make-drives" in l][0]
        done = self.shell(self.our_disk(line))
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def run_job_keys(self, t, keys):
        for key in keys:
            t.wait_for(menu_shown, what="the main menu before %s" % key)
            t.send(key)
            rows = t.wait_for_text(PAUSE)
            t.send("Space")
            yield key, "\n".join(rows)

    def test_the_first_backup_as_the_readme_gives_it(self):
        block = block_with(section(self.readme, "## Your first backup"), "apt install")
        lines = block.splitlines()
        installed = [i for i, l in enumerate(lines) if "apt install" in l][0]
        after_install = lines[installed + 1:]
        self.assertEqual([l.split()[0] for l in after_install], ["harrowkeeps-cmd", "harrowkeeps"])
        outside = everything_below(self.home, os.path.join(self.home, ".local"))
        command = "; ".join(self.our_disk(l) for l in after_install)
        with TmuxSession(command, env=self.env, cwd=self.home) as t:
            t.wait_for(menu_shown, what="the main menu")
            made = t.output().decode("utf-8", "replace")
            self.assertIn("made       J:", made)
            self.assertIn("In harrowkeeps: S, Enter, Enter, then D, P, M, V or O", made)
            # S, Enter, Enter, D.
            t.send("s")
            t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17], what="the drives")
            t.send("Enter")
            t.wait_for(lambda r: len(r) > 22 and "TARGET Drive" in r[21], what="the target")
            t.send("Enter")
            shown = dict(self.run_job_keys(t, ["d"]))
            self.assertIn("2 File(s) copied", shown["d"])
            self.assertEqual(files_below(os.path.join(self.disk, "My Documents")),
                             files_below(os.path.join(self.home, "Documents")))
            # P and M do the same for Pictures and Music.
            shown = dict(self.run_job_keys(t, ["p", "m"]))
            self.assertIn("1 File(s) copied", shown["p"])
            self.assertIn("1 File(s) copied", shown["m"])
            t.wait_for(menu_shown, what="the main menu at the end")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)
        self.assertEqual(files_below(self.disk), {
            "My Documents/letter.odt": "dear bank",
            "My Documents/Taxes/2025.ods": "figures",
            "Avo Brenk/Pictures/holiday.jpg": "sunny",
            "Avo Brenk/Music/song.ogg": "la la",
        })
        # Nothing in the home but the drives folder (and the folders that hold it) was made or
        # changed.
        self.assertEqual(everything_below(self.home, os.path.join(self.home, ".local")), outside)

    def test_a_folder_of_your_own(self):
        self.make_drives()
        own = section(self.readme, "### A folder of your own")
        self.write("Projects/plan.txt", "step one")
        self.write("Projects/src/main.c", "int main;")
        link = block_with(own, "c:/Projects")
        zips = re.search(r"`(ln -s [^`]*c:/MyZIPs)`", own).group(1)
        for command in (link, zips):
            done = self.shell(command)
            self.assertEqual(done.returncode, 0, done.stderr)

        # /L names what would be copied and copies nothing.
        listing = self.shell(block_with(own, "/L"))
        self.assertEqual(listing.returncode, 0, listing.stderr)
        self.assertEqual(listing.stdout.splitlines(),
                         ["C:\\Projects\\plan.txt", "C:\\Projects\\src\\main.c", "2 File(s)"])
        self.assertEqual(os.listdir(self.disk), [])

        with TmuxSession("harrowkeeps", env=self.env, cwd=self.home) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("s")
            t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17], what="the drives")
            t.send("Enter", "Enter")
            shown = dict(self.run_job_keys(t, ["z"]))
            self.assertIn("2 File(s) copied", shown["z"])
            # A, G, the folder and the drive as the README has them typed.
            open_generalized_backup(t)
            t.send("End", *["BSpace"] * len("C:\\MyDocuments"))
            t.wait_for(lambda r: r[17] == source_row(""), what="the emptied source field")
            t.send("-l", "C:\\Projects")
            t.send("Enter")
            t.wait_for(lambda r: len(r) > 22 and TARGET_PROMPT in r[21], what="the target field")
            t.send("End", *["BSpace"] * len("E:\\"))
            t.send("-l", "J:\\")
            t.wait_for(lambda r: r[21] == target_row("J:\\"), what="the target drive")
            t.send("Enter")
            rows = t.wait_for_text(PAUSE)
            self.assertIn("2 File(s) copied", "\n".join(rows))
            self.assertEqual(leave_generalized_backup(t), 0)
        projects = files_below(os.path.join(self.home, "Projects"))
        self.assertEqual(files_below(os.path.join(self.disk, "Projects")), projects)
        self.assertEqual(files_below(os.path.join(self.disk, "MyZIPs")), projects)

    def test_the_old_link_from_c_to_the_home_folder(self):
        os.makedirs(self.drives)
        os.symlink(self.home, os.path.join(self.drives, "c:"))
        os.symlink(self.disk, os.path.join(self.drives, "j:"))
        kept = self.shell("harrowkeeps-cmd --make-drives")
        self.assertEqual(kept.returncode, 1, kept.stdout)
        self.assertEqual(os.readlink(os.path.join(self.drives, "c:")), self.home)
        self.assertFalse(os.path.exists(os.path.join(self.home, "My Documents")))
        advice = block_with(section(self.readme, "### The link view"), "rm ")
        done = self.shell(advice)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(os.readlink(os.path.join(self.drives, "c:", "My Documents")),
                         os.path.join(self.home, "Documents"))
        self.assertEqual(os.readlink(os.path.join(self.drives, "j:")), self.disk)

    def unattended(self):
        text = section(self.readme, "### Unattended backups")
        script = block_with(text, "#!/bin/sh")
        path = re.search(r"^# (~/\S+):", script, re.M).group(1).replace("~", self.home, 1)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(script)
        os.chmod(path, 0o755)
        log = re.search(r"^log=\$HOME(/\S+)$", script, re.M).group(1)
        return text, path, self.home + log

    def test_the_unattended_script_with_its_log_and_exit_status(self):
        self.make_drives()
        text, script, log = self.unattended()
        # As cron starts it: no terminal, a bare environment.
        cron = re.search(r"^(\S+ \S+ \S+ \S+ \S+) (\S+)$", block_with(text, "* * *"), re.M)
        self.assertEqual(cron.group(2).replace("$HOME", self.home), script)
        env = {"HOME": self.home, "PATH": self.bin + ":/usr/bin:/bin", "SHELL": "/bin/sh"}
        run = subprocess.run([script], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                             text=True, start_new_session=True)
        self.assertEqual((run.returncode, run.stdout, run.stderr), (0, "", ""))
        with open(log) as f:
            first = f.read()
        self.assertEqual(first.count("exit status 0"), 3, first)
        self.assertIn("2 File(s) copied", first)
        self.assertEqual(set(files_below(self.disk)),
                         {"My Documents/letter.odt", "My Documents/Taxes/2025.ods",
                          "Avo Brenk/Pictures/holiday.jpg", "Avo Brenk/Music/song.ogg"})

        # The disk unplugged: its link leads nowhere, and the log says so.
        os.rename(self.disk, self.disk + "-away")
        try:
            run = subprocess.run([script], env=env, stdin=subprocess.DEVNULL,
                                 capture_output=True, start_new_session=True)
            self.assertEqual(run.returncode, 4)
        finally:
            os.rename(self.disk + "-away", self.disk)
        with open(log) as f:
            second = f.read()[len(first):]
        self.assertTrue(second.startswith("== "), second)
        self.assertEqual(second.count("exit status 4"), 3, second)
        self.assertIn("Invalid drive specification", second)
        self.assertIn("does not exist (not mounted?)", second)
        # Each exit status the table explains is one the copies end with.
        table = re.findall(r"^\| (\d) \| ", text, re.M)
        self.assertEqual(table, ["0", "1", "2", "4", "5"])

    def test_the_timer_units(self):
        analyze = shutil.which("systemd-analyze")
        if not analyze:
            self.skipTest("systemd-analyze is not installed (Debian: systemd)")
        text, script, _ = self.unattended()
        units = os.path.join(self.dir, "units")
        os.makedirs(units)
        for name in ("harrowkeeps-backup.service", "harrowkeeps-backup.timer"):
            block = re.search(r"`%s`:\n\n((?:    .*\n|\n)+)" % re.escape(name), text).group(1)
            with open(os.path.join(units, name), "w") as f:
                f.write("\n".join(l[4:] for l in block.splitlines()).strip() + "\n")
        # %h is the home folder the script lies in.
        checked = subprocess.run(
            [analyze, "verify", os.path.join(units, "harrowkeeps-backup.service"),
             os.path.join(units, "harrowkeeps-backup.timer")],
            env=dict(os.environ, HOME=self.home), capture_output=True, text=True, timeout=60)
        self.assertEqual((checked.returncode, checked.stderr), (0, ""))


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    README = os.path.abspath(sys.argv.pop(1))
    unittest.main()
