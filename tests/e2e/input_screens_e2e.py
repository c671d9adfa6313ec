"""The real program in tmux: the drive selection screen, the generalized backup screen, the
field editor's keys and its cursor, and the commands the interpreter gets from them."""

import sys
import time
import unittest

from golden import golden_rows
from jobs_e2e import PAUSE, Recorder, menu2_shown
from tmux_session import TmuxSession

PROGRAM = None

FRAME_TOP = golden_rows("drive_selection")[16]

# The cursor's shape as the terminal host asks for it: a block in overwrite mode, an underline
# (the thin console cursor) otherwise.
BLOCK = b"\x1b[1 q"
THIN = b"\x1b[3 q"


def field_row(prompt, text):
    return (" " * 13 + "║" + prompt).ljust(50) + text.ljust(19) + " ║"


def menu_shown(rows):
    return len(rows) > 6 and "Select the function:" in rows[6]


def wait_for_cursor(t, position, timeout=5.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if t.cursor() == position:
            return
        time.sleep(0.02)
    raise AssertionError("cursor at %r, not %r" % (t.cursor(), position))


def wait_for_output(t, data, start, timeout=5.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if t.output().find(data, start) >= 0:
            return
        time.sleep(0.02)
    raise AssertionError("the program never sent %r" % data)


def open_drive_selection(t, key):
    t.wait_for(menu_shown, what="the main menu")
    t.send(key)
    t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17], what="the drive selection screen")


class DriveSelectionInTerminal(unittest.TestCase):
    def run_job_and_leave(self, t, recorder, key, command):
        """Back at the menu after the drive selection: runs the job, which
        must hand `command` to the interpreter, and leaves."""
        t.wait_for(menu_shown, what="the main menu after the drive selection")
        t.send(key)
        t.wait_for_text(PAUSE)
        self.assertEqual(recorder.recorded(), [command])
        t.send("Space")
        t.wait_for(menu_shown, what="the menu after the job")
        t.send("x")
        self.assertEqual(t.wait_for_exit(), 0)

    def test_fields_keys_and_cursor(self):
        with TmuxSession(PROGRAM) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("s")
            rows = t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17],
                              what="the drive selection screen")
            self.assertEqual(rows[:25], golden_rows("drive_selection"))
            wait_for_cursor(t, (18, 51))
            # The field in blue on yellow: bright yellow background (103), blue text (34).
            self.assertIn("\x1b[34m\x1b[103mC                  \x1b[93m\x1b[46m ║", t.styled())

            # Typing moves the cursor along the field; Ins turns it into a block and back.
            t.send("End")
            wait_for_cursor(t, (18, 52))
            mark = len(t.output())
            t.send("IC")
            wait_for_output(t, BLOCK, mark)
            t.send("Left", "D")  # overwrites the C
            t.wait_for(lambda r: r[17] == field_row(" Enter the Letter of SOURCE Drive: ", "D"),
                       what="the overwritten letter")
            wait_for_cursor(t, (18, 52))
            mark = len(t.output())
            t.send("IC")
            wait_for_output(t, THIN, mark)
            t.send(":")
            wait_for_cursor(t, (18, 53))
            t.send("Enter")

            rows = t.wait_for(lambda r: len(r) > 22 and "TARGET Drive" in r[21],
                              what="the target field")
            self.assertEqual(rows[17], field_row(" Enter the Letter of SOURCE Drive: ", "D:"))
            self.assertEqual(rows[20], FRAME_TOP)
            self.assertEqual(rows[21], field_row(" Enter the Letter of TARGET Drive: ", "J"))
            wait_for_cursor(t, (22, 51))
            # Up brings back the letter the source field recorded, Home and a typed letter go
            # in front of it.
            t.send("Up")
            t.wait_for(lambda r: r[21] == field_row(" Enter the Letter of TARGET Drive: ", "D:"),
                       what="the recorded letter")
            t.send("\\", "3", "Enter")  # recall entry 3: E
            t.wait_for(lambda r: r[21] == field_row(" Enter the Letter of TARGET Drive: ", "E"),
                       what="the recalled entry")
            wait_for_cursor(t, (22, 51))
            t.send("Enter")
            t.wait_for(menu_shown, what="the main menu after the drive selection")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_typed_drives_reach_the_jobs_command(self):
        recorder = Recorder()
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": recorder.path}) as t:
                open_drive_selection(t, "S")
                t.send("BSpace", "e", "Escape")  # Esc: the same field again, "e" kept
                t.wait_for(lambda r: r[17] == field_row(" Enter the Letter of SOURCE Drive: ",
                                                        "eC"), what="the edited source")
                t.send("End", "BSpace", "Enter")
                t.wait_for(lambda r: len(r) > 22 and "TARGET Drive" in r[21],
                           what="the target field")
                t.send("End", "BSpace", "K", "Enter")
                self.run_job_and_leave(t, recorder, "z",
                                       "/CXCOPY e:\\MyZIPs K:\\MyZIPs /S /D /I /Y")
        finally:
            recorder.close()

    def test_del_and_a_letter_take_another_target_drive(self):
        """As both READMEs tell it: the cursor starts on the J, Del takes it away."""
        recorder = Recorder()
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": recorder.path}) as t:
                open_drive_selection(t, "s")
                t.send("Enter")
                t.wait_for(lambda r: len(r) > 22 and "TARGET Drive" in r[21],
                           what="the target field")
                t.send("DC", "E")
                t.wait_for(lambda r: r[21] == field_row(" Enter the Letter of TARGET Drive: ",
                                                        "E"), what="E alone in the field")
                t.send("Enter")
                self.run_job_and_leave(
                    t, recorder, "d", '/CXCOPY "C:\\My Documents" "E:\\My Documents" /S /D /I /Y')
        finally:
            recorder.close()


SOURCE_PROMPT = " Enter directory name on Source: "
TARGET_PROMPT = " Enter Destination Drive Letter, :, \\ "


def open_generalized_backup(t):
    """From the main menu, by Menu II, to the generalized backup screen; its rows."""
    t.wait_for(menu_shown, what="the main menu")
    t.send("a")
    t.wait_for(menu2_shown, what="Menu II")
    t.send("g")
    return t.wait_for(lambda r: len(r) > 18 and SOURCE_PROMPT in r[17],
                      what="the generalized backup screen")


def source_row(text):
    return (" " * 13 + "║" + SOURCE_PROMPT).ljust(48) + text.ljust(21) + " ║"


def target_row(text):
    return (" " * 13 + "║" + TARGET_PROMPT).ljust(53) + text.ljust(16) + " ║"


class GeneralizedBackupInTerminal(unittest.TestCase):
    def test_history_recall_command_and_the_question(self):
        recorder = Recorder()
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": recorder.path}) as t:
                rows = open_generalized_backup(t)
                self.assertEqual(rows[:25], golden_rows("generalized_backup"))
                wait_for_cursor(t, (18, 49))

                # Down twice: the third entry; a long text scrolls in the 21-cell field.
                t.send("Down", "Down")
                t.wait_for(lambda r: r[17] == source_row("C:\\My Web Pages"),
                           what="the third entry")
                t.send("End", "\\", "S", "i", "t", "e", "s", " ", "2", "0", "1", "2")
                t.wait_for(lambda r: r[17] == source_row("Web Pages\\Sites 2012"),
                           what="the scrolled field")
                wait_for_cursor(t, (18, 69))
                t.send("Tab")  # recorded; the field comes back with its text
                t.wait_for(lambda r: r[17] == source_row("C:\\My Web Pages\\Sites"),
                           what="the field opened again")
                wait_for_cursor(t, (18, 49))
                t.send("Up", "Up")  # past the recorded text to the blank element before it
                t.wait_for(lambda r: r[17] == source_row(""), what="the blank element")
                t.send("Down")  # the text just recorded
                t.wait_for(lambda r: r[17] == source_row("C:\\My Web Pages\\Sites"),
                           what="the recorded text from Down")
                t.send("Home", "\\", "1", "Enter")  # "\1C:..." recalls entry 1
                t.wait_for(lambda r: r[17] == source_row("C:\\MyDocuments"),
                           what="entry 1 recalled")
                t.send("\\", "5", "Enter")  # entry 5: the text recorded by Tab
                t.wait_for(lambda r: r[17] == source_row("C:\\My Web Pages\\Sites"),
                           what="entry 5 recalled")
                t.send("Enter")

                rows = t.wait_for(lambda r: len(r) > 22 and TARGET_PROMPT in r[21],
                                  what="the target field")
                self.assertEqual(rows[21], target_row("E:\\"))
                wait_for_cursor(t, (22, 54))
                t.send("\\", "2", "Enter")
                t.wait_for(lambda r: r[21] == target_row("F:\\"), what="target entry 2")
                t.send("Enter")

                t.wait_for_text(PAUSE)
                self.assertEqual(
                    recorder.recorded(),
                    ['/CXCOPY "C:\\My Web Pages\\Sites 2012" "F:\\My Web Pages\\Sites 2012"'
                     ' /S /D /I /Y'])
                t.send("Space")
                rows = t.wait_for_text("Run this function again (Y/N)?")
                self.assertEqual(rows[20], " " * 24 + "╔" + "═" * 32 + "╗")
                self.assertEqual(rows[21], " " * 24 + "║ Run this function again (Y/N)? ║")
                self.assertEqual(rows[22], " " * 24 + "╚" + "═" * 32 + "╝")

                t.send("y")  # starts over, from the same defaults
                t.wait_for(lambda r: len(r) > 18 and r[17] == source_row("C:\\MyDocuments"),
                           what="the screen again")
                t.send("Enter", "Enter")
                t.wait_for_text(PAUSE)
                self.assertEqual(recorder.recorded(),
                                 ['/CXCOPY "C:\\MyDocuments" "E:\\MyDocuments" /S /D /I /Y'])
                t.send("Space")
                t.wait_for_text("Run this function again (Y/N)?")
                t.send("N")
                t.wait_for(menu2_shown, what="Menu II after the generalized backup")
                t.send("x")
                t.wait_for(menu_shown, what="the main menu")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
        finally:
            recorder.close()


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
