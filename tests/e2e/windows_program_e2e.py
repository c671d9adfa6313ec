"""The Windows program under Wine: in tmux, where Wine gives it a real 80 x 25 console, and
without any console at all.

Usage: windows_program_e2e.py WINE_RUN PROGRAM.exe

Wine's own behaviour shows in a few places; the program is not bent to it, the tests say so:
- MessageBeep plays through the sound system, never as a BEL on the terminal, so beeps can't
  be counted here.
- Esc arrives without a character, so it reads as the key byte 0 (a key that chooses nothing).
- Ctrl+C ends the process even in input mode 0.
- With standard input redirected, Wine's console stays in line mode (the mode can only be set
  through standard input) and echoes typed keys instead of queueing them as key events, so
  that case can't be driven here.
- Wine's console does not map tmux's Home/End (ESC[1~ / ESC[4~); they are sent raw as
  ESC[H / ESC[F.
"""

import os
import shlex
import shutil
import subprocess
import tempfile
import sys
import time
import unittest

from tmux_session import TmuxSession
from main_menu_e2e import MENU, menu_shown
from jobs_e2e import PAUSE, menu2_shown

WINE_RUN = None
PROGRAM = None

# A start of Wine with a ready prefix takes about a second; the first one in a test run also
# starts the Wine server.
START_TIMEOUT = 60


def wine_prefix():
    """The prefix every Wine start of this run shares, set up once."""
    return subprocess.run(
        [WINE_RUN, "--prefix"], check=True, capture_output=True, text=True
    ).stdout.strip()


def windows_session(without_comspec=False):
    env = {"WINEPREFIX": wine_prefix(), "WINEDEBUG": "-all"}
    program = shlex.quote(PROGRAM)
    if without_comspec:
        # Wine sets COMSPEC from its registry whatever the Unix environment says, so the
        # variable is removed by Wine's own cmd.exe, which then starts the program.
        windows_path = "Z:" + os.path.abspath(PROGRAM).replace("/", "\\")
        program = "cmd /c " + shlex.quote("set COMSPEC=&& " + windows_path)
    return TmuxSession("%s %s" % (shlex.quote(WINE_RUN), program), env=env)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


def wine_server_of(prefix):
    """The Wine server of a prefix: it works in a folder named after the prefix's device and
    inode. Console calls are requests to it, so a program polling the console spends much of
    its processor time there."""
    st = os.stat(prefix)
    name = "server-%x-%x" % (st.st_dev, st.st_ino)
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if (os.path.basename(os.readlink("/proc/%s/cwd" % entry)) == name
                    and "wineserver" in os.readlink("/proc/%s/exe" % entry)):
                return int(entry)
        except OSError:
            pass
    return None


class WindowsProgramInWineConsole(unittest.TestCase):
    def test_main_menu_is_drawn_exactly_and_x_ends_with_0(self):
        with windows_session() as t:
            rows = t.wait_for(menu_shown, timeout=START_TIMEOUT, what="the main menu")
            self.assertEqual(rows[:25], MENU)
            styled = t.styled()
            # Yellow on cyan: the console's colours 14 on 3.
            self.assertIn("\x1b[93m", styled)
            self.assertIn("46m", styled)
            self.assertEqual(t.cursor(), (25, 1))

            # Keys that choose nothing redraw the menu: a letter, a key without a character,
            # Esc (from Wine the byte 0) and Ctrl+A.
            for key in ("q", "Up", "F5", "Escape", "C-a"):
                t.send(key)
                time.sleep(0.3)
                rows = t.wait_for(menu_shown, what="the menu after " + key)
                self.assertEqual(rows[:25], MENU, key)
                self.assertEqual(t.cursor(), (25, 1), key)

            t.send("x")
            self.assertEqual(t.wait_for_exit(timeout=20), 0)
            rows = t.rows()
            self.assertTrue(all(r == "" for r in rows), rows)


class MappedDrives:
    """Drive letters of the shared prefix pointing at temporary folders, removed afterwards."""

    def __init__(self, *letters):
        self.devices = os.path.join(wine_prefix(), "dosdevices")
        self.folders = {}
        for letter in letters:
            folder = tempfile.mkdtemp(prefix="hk-wine-%s-" % letter)
            link = os.path.join(self.devices, letter + ":")
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(folder, link)
            self.folders[letter] = folder

    def close(self):
        for letter, folder in self.folders.items():
            link = os.path.join(self.devices, letter + ":")
            if os.path.islink(link):
                os.remove(link)
            shutil.rmtree(folder, ignore_errors=True)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text)


def set_drive(t, label_row, letter):
    """Replaces the drive field's letter: End (sent raw, as Wine's console knows it), Backspace,
    the new letter, Enter."""
    t.wait_for(lambda r: len(r) > label_row and label_row and "Drive:" in r[label_row],
               what="the drive field on row %d" % (label_row + 1))
    t.send_raw(b"\x1b[F")
    t.send("BSpace", letter)
    t.wait_for(lambda r: r[label_row].rstrip(" ║").endswith(letter),
               what="the letter %s in the field" % letter)
    t.send("Enter")


class WindowsJobsInWineConsole(unittest.TestCase):
    def test_drive_selection_then_job_d_copies_through_cmd_and_xcopy(self):
        drives = MappedDrives("s", "t")
        try:
            source = drives.folders["s"]
            target = drives.folders["t"]
            write(os.path.join(source, "My Documents", "letter.txt"), b"dear sir\r\n")
            write(os.path.join(source, "My Documents", "old", "notes.txt"), b"kept\r\n")
            with windows_session() as t:
                t.wait_for(menu_shown, timeout=START_TIMEOUT, what="the main menu")
                t.send("s")
                set_drive(t, 17, "S")
                set_drive(t, 21, "T")
                t.wait_for(menu_shown, what="the main menu after the drive selection")
                t.send("d")
                rows = t.wait_for_text(PAUSE, timeout=30)
                # Wine's xcopy names each file it copies and then counts them; the pause
                # follows on the next row.
                pause_row = next(i for i, r in enumerate(rows) if PAUSE in r)
                output = rows[:pause_row]
                self.assertTrue(any("2 file" in r for r in output), rows)
                self.assertTrue(any("letter.txt" in r for r in output), rows)
                self.assertEqual(rows[pause_row], PAUSE)
                self.assertNotEqual(output[-1].strip(), "", rows)
                self.assertTrue(all(r == "" for r in rows[pause_row + 1:]), rows)
                self.assertEqual(t.cursor(), (pause_row + 2, 1))
                with open(os.path.join(target, "My Documents", "letter.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"dear sir\r\n")
                with open(os.path.join(target, "My Documents", "old", "notes.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"kept\r\n")

                t.send("Space")
                rows = t.wait_for(menu_shown, what="the menu after the pause")
                self.assertEqual(rows[:25], MENU)
                t.send("x")
                self.assertEqual(t.wait_for_exit(timeout=20), 0)
        finally:
            drives.close()

    def test_a_typed_folder_named_with_umlauts_and_accents_is_copied_under_that_name(self):
        # Typed as UTF-8 into Wine's console, read as Unicode key events and kept as code page
        # 437 in the field; the command reaches Wine's cmd and xcopy as Unicode.
        drives = MappedDrives("s", "t")
        try:
            source = drives.folders["s"]
            target = drives.folders["t"]
            write(os.path.join(source, "Bücher", "Äpfel und Birnen.txt"), b"ein Buch\r\n")
            write(os.path.join(source, "Bücher", "été", "Übung ß.txt"), b"zwei\r\n")
            with windows_session() as t:
                t.wait_for(menu_shown, timeout=START_TIMEOUT, what="the main menu")
                t.send("a")
                t.wait_for(menu2_shown, what="Menu II")
                t.send("g")
                t.wait_for(lambda r: len(r) > 17 and "Source:" in r[17],
                           what="the generalized backup screen")
                t.send_raw(b"\x1b[F")
                t.send(*["BSpace"] * len("C:\\MyDocuments"))
                t.send_raw("S:\\Bücher".encode())
                t.wait_for(lambda r: "S:\\Bücher" in r[17], what="the typed folder")
                t.send("Enter")
                t.wait_for(lambda r: len(r) > 21 and "Destination" in r[21],
                           what="the target field")
                t.send_raw(b"\x1b[F")
                t.send("BSpace", "BSpace", "BSpace", "T", ":", "\\", "Enter")
                rows = t.wait_for_text(PAUSE, timeout=30)
                output = "\n".join(rows)
                self.assertTrue("2 file" in output, output)
                copied = os.path.join(target, "Bücher")
                with open(os.path.join(copied, "Äpfel und Birnen.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"ein Buch\r\n")
                with open(os.path.join(copied, "été", "Übung ß.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"zwei\r\n")
                self.assertEqual(os.listdir(target), ["Bücher"])

                t.send("Space")
                t.wait_for_text("Run this function again (Y/N)?")
                t.send("n")
                t.wait_for(menu2_shown, what="Menu II again")
                t.send("x")
                t.wait_for(menu_shown, what="the main menu")
                t.send("x")
                self.assertEqual(t.wait_for_exit(timeout=20), 0)
        finally:
            drives.close()

    def test_empty_comspec_shows_the_advice_page_and_any_key_resumes(self):
        with windows_session(without_comspec=True) as t:
            t.wait_for(menu_shown, timeout=START_TIMEOUT, what="the main menu")
            t.send("d")
            rows = t.wait_for_text("Press <Spacebar> to resume...", timeout=20)
            self.assertIn(rows[12], [
                "    The file name specified could not be found on the indicated drive.",
                "    The path you specified doesn't exist.",
            ])
            self.assertNotIn(PAUSE, "\n".join(rows))
            t.send("k")
            rows = t.wait_for(menu_shown, what="the menu after the advice page")
            self.assertEqual(rows[:25], MENU)
            t.send("x")
            self.assertEqual(t.wait_for_exit(timeout=20), 0)


class WindowsProgramWithoutConsole(unittest.TestCase):
    def test_waits_for_ever_without_spinning(self):
        # No console: "CONIN$" can't be opened, and the menu can never get a key. Its wait must
        # block; a wait on the failed handle would return at once and the poll would spin.
        prefix = wine_prefix()
        env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
        child = subprocess.Popen(
            [WINE_RUN, PROGRAM], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT, env=env,
        )
        try:
            time.sleep(1.5)  # start-up of Wine and the program
            self.assertIsNone(child.poll(), "the program ended without a console")
            with open("/proc/%d/cmdline" % child.pid, "rb") as f:
                self.assertIn(b"harrowkeeps.exe", f.read(), "not the program's own process")
            server = wine_server_of(prefix)
            self.assertIsNotNone(server, "no Wine server found for " + prefix)

            def used():
                return cpu_seconds(child.pid) + cpu_seconds(server)

            before = used()
            time.sleep(2.0)
            spent = used() - before
            self.assertIsNone(child.poll())
            # Measured: about 0.02 s blocked, about 1.8 s for a poll that spins.
            print("processor time of the program and its Wine server in 2 s of waiting "
                  "without a console: %.2f s" % spent)
            self.assertLess(spent, 0.5)
        finally:
            child.kill()
            child.wait()
            child.stdout.close()


if __name__ == "__main__":
    WINE_RUN = sys.argv.pop(1)
    PROGRAM = sys.argv.pop(1)
    unittest.main()
