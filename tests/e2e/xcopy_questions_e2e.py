"""XCOPY's questions in a real terminal: harrowkeeps-cmd asked directly and through the
program's generalized backup. Only a key of its own answers (never a letter inside a terminal's
reply, in 7-bit or 8-bit form), and Ctrl+C at a question ends the question's line.

Usage: xcopy_questions_e2e.py PROGRAM   (harrowkeeps-cmd is taken from beside PROGRAM)
"""

import os
import shlex
import shutil
import sys
import tempfile
import time
import unittest

from input_screens_e2e import TARGET_PROMPT, open_generalized_backup, source_row
from jobs_e2e import PAUSE, leave_generalized_backup
from tmux_session import TmuxSession

PROGRAM = None

# Replies a terminal may send while a question waits, each with the letters of an answer in
# it: a version reply (DCS) and a colour reply (OSC), in their 8-bit forms (raw C1 bytes and
# the same controls encoded as UTF-8), and in their 7-bit forms.
REPLIES = (b"\x90>|Yaft Terminal Nyx Alpha\x9c"
           b"\x9d11;rgb:ffff/YYYY/ffff\x9c"
           b"\xc2\x90>|Yaft DNFA\xc2\x9c"
           b"\xc2\x9d10;Yes No All Dir File\xc2\x9c"
           b"\x1bP>|Yaft DFYNA\x1b\\"
           b"\x1b]10;rgb:YYYY/NNNN/AAAA\x07")


class Drives:
    """A drives folder with C: and J: in a temporary folder of the test's own."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-questions-")
        self.c = os.path.join(self.dir, "c")
        self.j = os.path.join(self.dir, "j")
        self.drives = os.path.join(self.dir, "drives")
        for folder in (self.c, self.j, self.drives):
            os.makedirs(folder)
        os.symlink(self.c, os.path.join(self.drives, "c:"))
        os.symlink(self.j, os.path.join(self.drives, "j:"))

    def write(self, path, data):
        with open(path, "wb") as f:
            f.write(data)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class XcopyQuestions(unittest.TestCase):
    def setUp(self):
        self.d = Drives()
        self.interpreter = os.path.join(os.path.dirname(PROGRAM), "harrowkeeps-cmd")

    def tearDown(self):
        self.d.close()

    def test_replies_answer_no_question_only_a_typed_key_does(self):
        self.d.write(os.path.join(self.d.c, "a.txt"), b"new\n")
        self.d.write(os.path.join(self.d.j, "a.txt"), b"old\n")
        command = "%s %s" % (shlex.quote(self.interpreter),
                             shlex.quote("/CXCOPY C:\\a.txt J:\\ /-Y"))
        env = {"HARROWKEEPS_DRIVES": self.d.drives, "LANG": "C.UTF-8"}
        with TmuxSession(command, env=env) as t:
            t.wait_for_text("Overwrite J:\\a.txt (Yes/No/All)?")
            t.send_raw(REPLIES)
            # Long enough for a reply's letter to have answered, had it been taken as one.
            time.sleep(0.5)
            self.assertFalse(any("File(s) copied" in r for r in t.rows()), t.rows())
            t.send("n")
            self.assertEqual(t.wait_for_exit(), 0)
            rows = t.rows()
            self.assertIn("Overwrite J:\\a.txt (Yes/No/All)? N", rows)
            self.assertIn("0 File(s) copied", rows)
        self.assertEqual(self.d.read(os.path.join(self.d.j, "a.txt")), b"old\n")

    def test_ctrl_c_at_the_file_or_folder_question_ends_its_line_before_the_pause(self):
        # A single file named as the source and a target that does not exist: XCOPY asks
        # whether the target is a file or a folder, even with /I.
        self.d.write(os.path.join(self.d.c, "a.txt"), b"a\n")
        bin_dir = os.path.join(self.d.dir, "bin")
        os.makedirs(bin_dir)
        program = os.path.join(bin_dir, "harrowkeeps")
        shutil.copy(PROGRAM, program)
        shutil.copy(self.interpreter, os.path.join(bin_dir, "harrowkeeps-cmd"))
        env = {"COMSPEC": None, "HARROWKEEPS_DRIVES": self.d.drives, "LANG": "C.UTF-8"}
        with TmuxSession(shlex.quote(program), env=env) as t:
            open_generalized_backup(t)
            t.send("End", *["BSpace"] * len("C:\\MyDocuments"), "C", ":", "\\", "a", ".", "t",
                   "x", "t")
            t.wait_for(lambda r: r[17] == source_row("C:\\a.txt"), what="the typed source")
            t.send("Enter")
            t.wait_for(lambda r: len(r) > 22 and TARGET_PROMPT in r[21], what="the target field")
            t.send("End", "BSpace", "BSpace", "BSpace", "J", ":", "\\", "Enter")
            # The question is longer than a row: it ends on the next one.
            rows = t.wait_for(lambda r: any(x.endswith("directory)?") for x in r),
                              what="the question")
            question = [r for r in rows if r][-1]
            t.send_raw(REPLIES)
            time.sleep(0.5)
            self.assertEqual([r for r in t.rows() if r][-1], question, "a reply answered")
            t.send("C-c")
            rows = t.wait_for_text(PAUSE)
            at = rows.index(next(r for r in rows if PAUSE in r))
            self.assertEqual(rows[at], PAUSE)
            self.assertEqual(rows[at - 1], question)
            self.assertEqual(t.cursor(), (at + 2, 1))
            self.assertEqual(os.listdir(self.d.j), [])
            self.assertEqual(leave_generalized_backup(t), 0)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
