"""The real program in tmux: backup jobs through COMSPEC, the error page of a command that
cannot start, Menu II and back, the interpreter beside the program."""

import os
import shutil
import sys
import tempfile
import time
import unittest

from golden import golden_rows
from tmux_session import TmuxSession

PROGRAM = None

MENU2 = golden_rows("menu2")[:24]

PAUSE = "Press a key to continue ..."


def menu_shown(rows):
    return len(rows) > 6 and "Select the function:" in rows[6] and "Harrowkeeps.EXE" in rows[1]


def menu2_shown(rows):
    return rows[:24] == MENU2


def leave_generalized_backup(t):
    """From the generalized backup's pause: no further run, back through Menu II and the main
    menu, and out. The program's exit code."""
    t.send("Space")
    t.wait_for_text("Run this function again (Y/N)?")
    t.send("n")
    t.wait_for(menu2_shown, what="Menu II after the generalized backup")
    t.send("x")
    t.wait_for(lambda r: len(r) > 6 and "Select the function:" in r[6], what="the main menu")
    t.send("x")
    return t.wait_for_exit()


class Recorder:
    """A command interpreter that records the arguments it was given and writes some lines."""

    def __init__(self, body="", name="cmd"):
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-jobs-")
        self.path = os.path.join(self.dir, name)
        self.args = os.path.join(self.dir, "args")
        with open(self.path, "w") as f:
            f.write("#!/bin/sh\n")
            f.write('printf "%%s\\n" "$#" "$@" > %s.tmp\nmv %s.tmp %s\n'
                    % (self.args, self.args, self.args))
            f.write('echo "Copying with $1"\n')
            f.write(body)
            f.write('echo "3 File(s) copied"\n')
        os.chmod(self.path, 0o755)

    def recorded(self, timeout=10.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if os.path.exists(self.args):
                with open(self.args) as f:
                    lines = f.read().split("\n")
                count = int(lines[0])
                return lines[1:1 + count]
            time.sleep(0.02)
        raise AssertionError("the interpreter was never started")

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class JobsInTerminal(unittest.TestCase):
    def setUp(self):
        self.recorder = Recorder()

    def tearDown(self):
        self.recorder.close()

    def test_job_d_with_empty_roots_then_with_the_default_drives(self):
        with TmuxSession(PROGRAM, env={"COMSPEC": self.recorder.path}) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("d")
            rows = t.wait_for_text(PAUSE)
            arg = '/CXCOPY "My Documents" "My Documents" /S /D /I /Y'
            self.assertEqual(self.recorder.recorded(), [arg])
            # The output starts at the top of the cleared screen; the pause stands right below.
            self.assertEqual(rows[0], "Copying with " + arg)
            self.assertEqual(rows[1], "3 File(s) copied")
            self.assertEqual(rows[2], PAUSE)
            self.assertTrue(all(r == "" for r in rows[3:]), rows)
            self.assertEqual(t.cursor(), (4, 1))
            t.send("q")
            t.wait_for(menu_shown, what="the menu after the pause")

            os.remove(self.recorder.args)
            t.send("s")
            t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17], what="drive selection")
            t.send("Enter")
            t.wait_for(lambda r: len(r) > 22 and "TARGET Drive" in r[21], what="the target field")
            t.send("Enter")
            t.wait_for(menu_shown, what="the main menu after the drive selection")
            t.send("D")
            t.wait_for_text(PAUSE)
            self.assertEqual(self.recorder.recorded(),
                             ['/CXCOPY "C:\\My Documents" "J:\\My Documents" /S /D /I /Y'])
            t.send("Space")
            t.wait_for(menu_shown, what="the menu")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_a_key_typed_while_the_command_runs_ends_the_pause(self):
        slow = Recorder(body="sleep 1\n")
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": slow.path}) as t:
                t.wait_for(menu_shown, what="the main menu")
                t.send("b")
                slow.recorded()
                t.send("q", "x")  # while it sleeps: q ends the pause, x is discarded
                t.wait_for(menu_shown, what="the menu, without another key")
                # The output and the pause were drawn on the way.
                self.assertIn(b"3 File(s) copied", t.output())
                self.assertIn(PAUSE.encode(), t.output())
                time.sleep(0.3)
                self.assertTrue(menu_shown(t.rows()), "the typed-ahead x must not end the program")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
        finally:
            slow.close()

    def test_a_command_that_changes_the_terminal_mode_leaves_keys_raw(self):
        moody = Recorder(body="stty icanon echo\n")
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": moody.path}) as t:
                t.wait_for(menu_shown, what="the main menu")
                t.send("z")
                t.wait_for_text(PAUSE)
                t.send("q")  # one key, no Enter
                t.wait_for(menu_shown, what="the menu after one key")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
                before, after = t.stty()
                self.assertEqual(before, after)
        finally:
            moody.close()

    def test_empty_comspec_shows_the_advice_page_and_any_key_resumes(self):
        with TmuxSession(PROGRAM, env={"COMSPEC": ""}) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("d")
            rows = t.wait_for_text("Press <Spacebar> to resume...")
            self.assertIn(rows[:25], [golden_rows("error_53"), golden_rows("error_76")])
            t.send("k")
            t.wait_for(menu_shown, what="the menu after the advice page")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_an_interpreter_that_is_no_program_ends_with_its_number_and_0(self):
        plain = os.path.join(self.recorder.dir, "plain")
        with open(plain, "w") as f:
            f.write("not a program\n")
        with TmuxSession(PROGRAM, env={"COMSPEC": plain}) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("w")
            rows = t.wait_for_text("ERROR #")
            self.assertEqual(rows[:25], golden_rows("error_70"))
            t.send("Enter")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_menu2_its_job_and_back(self):
        with TmuxSession(PROGRAM, env={"COMSPEC": self.recorder.path}) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("a")
            rows = t.wait_for(menu2_shown, what="Menu II")
            self.assertEqual(t.cursor(), (25, 1))
            t.send("5")
            t.wait_for_text(PAUSE)
            self.assertEqual(self.recorder.recorded(), ["/CXCOPY Lotto5 Lotto5 /S /D /I /Y"])
            t.send("Space")
            t.wait_for(menu2_shown, what="Menu II after its job")
            t.send("x")
            t.wait_for(menu_shown, what="the main menu after Menu II")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_without_comspec_the_interpreter_beside_the_program_runs(self):
        folder = tempfile.mkdtemp(prefix="hk-e2e-beside-")
        try:
            program = os.path.join(folder, "harrowkeeps")
            shutil.copy(PROGRAM, program)
            shutil.copy(self.recorder.path, os.path.join(folder, "harrowkeeps-cmd"))
            with TmuxSession(program, env={"COMSPEC": None}) as t:
                t.wait_for(menu_shown, what="the main menu")
                t.send("l")
                t.wait_for_text(PAUSE)
                self.assertEqual(self.recorder.recorded(),
                                 ["/CXCOPY D:\\Lottery Lottery /S /D /I /Y"])
                t.send("Space")
                t.wait_for(menu_shown, what="the menu")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
