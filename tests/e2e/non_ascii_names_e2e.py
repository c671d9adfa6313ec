"""The real program in tmux with the real harrowkeeps-cmd: a folder named with letters beyond
ASCII, typed into the generalized backup screen, is copied under the same UTF-8 name; terminal
reports sent while typing never reach the field.

Usage: non_ascii_names_e2e.py PROGRAM   (harrowkeeps-cmd is taken from beside PROGRAM)
"""

import os
import shlex
import shutil
import sys
import tempfile
import unittest

from input_screens_e2e import TARGET_PROMPT, open_generalized_backup, source_row, target_row
from jobs_e2e import PAUSE, leave_generalized_backup
from tmux_session import TmuxSession

PROGRAM = None

# What a terminal may send unasked while a field waits: a colour reply, an X10 and an SGR mouse
# report, focus out and in, a DCS reply in 8-bit form.
REPORTS = (b"\x1b]11;rgb:0000/0000/0000\x07" b"\x1b[M !!" b"\x1b[<0;12;5M"
           b"\x1b[O\x1b[I" b"\x90>|xterm(380)\x9c")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class NonAsciiNamesInTerminal(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-names-")
        self.source = os.path.join(self.dir, "source")
        self.target = os.path.join(self.dir, "target")
        os.makedirs(self.target)
        drives = os.path.join(self.dir, "drives")
        os.makedirs(drives)
        os.symlink(self.source, os.path.join(drives, "c:"))
        os.symlink(self.target, os.path.join(drives, "j:"))
        self.drives = drives
        # The program and its interpreter in a folder whose name is beyond ASCII too: COMSPEC,
        # set by the program to the interpreter beside it, makes the round trip through the
        # program's code page 437 and back.
        self.bin = os.path.join(self.dir, "Jörg-bin")
        os.makedirs(self.bin)
        self.program = os.path.join(self.bin, "harrowkeeps")
        shutil.copy(PROGRAM, self.program)
        shutil.copy(os.path.join(os.path.dirname(PROGRAM), "harrowkeeps-cmd"),
                    os.path.join(self.bin, "harrowkeeps-cmd"))

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_a_typed_folder_name_with_umlauts_and_accents_is_copied_under_that_name(self):
        write(os.path.join(self.source, "Bücher", "Äpfel und Birnen.txt"), b"ein Buch\n")
        write(os.path.join(self.source, "Bücher", "été", "Übung ß.txt"), b"zwei\n")
        env = {"COMSPEC": None, "HARROWKEEPS_DRIVES": self.drives, "LANG": "C.UTF-8"}
        with TmuxSession(shlex.quote(self.program), env=env) as t:
            open_generalized_backup(t)
            t.send("End", *["BSpace"] * len("C:\\MyDocuments"))
            t.wait_for(lambda r: r[17] == source_row(""), what="the emptied source field")
            t.send_raw("C:\\Bü".encode())
            t.send_raw(REPORTS)
            t.send_raw("cher".encode())
            rows = t.wait_for(lambda r: r[17] == source_row("C:\\Bücher"),
                              what="the typed folder alone in the field")
            t.send("Enter")
            t.wait_for(lambda r: len(r) > 22 and TARGET_PROMPT in r[21], what="the target field")
            t.send("End", "BSpace", "BSpace", "BSpace", "J", ":", "\\")
            t.wait_for(lambda r: r[21] == target_row("J:\\"), what="the target drive")
            t.send("Enter")

            rows = t.wait_for_text(PAUSE, timeout=20)
            output = "\n".join(rows)
            self.assertIn("2 File(s) copied", output)
            # The interpreter's messages name the files; they come back on the screen as well.
            self.assertIn("Äpfel und Birnen.txt", output)
            copied = os.path.join(self.target, "Bücher")
            self.assertEqual(read(os.path.join(copied, "Äpfel und Birnen.txt")), b"ein Buch\n")
            self.assertEqual(read(os.path.join(copied, "été", "Übung ß.txt")), b"zwei\n")
            self.assertEqual(sorted(os.listdir(self.target)), ["Bücher"])

            self.assertEqual(leave_generalized_backup(t), 0)


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
