"""The real program in tmux: the drive selection screen and the field editor's keys, cursor."""

import sys
import time
import unittest

from tmux_session import TmuxSession

PROGRAM = None

FRAME_TOP = " " * 13 + "╔" + "═" * 56 + "╗"
FRAME_BOTTOM = " " * 13 + "╚" + "═" * 56 + "╝"

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


class DriveSelectionInTerminal(unittest.TestCase):
    def test_fields_keys_and_cursor(self):
        with TmuxSession(PROGRAM) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("s")
            rows = t.wait_for(lambda r: len(r) > 18 and "SOURCE Drive" in r[17],
                              what="the drive selection screen")
            self.assertEqual(rows[3], "         * Setting the Drives: From Source to Target *")
            self.assertEqual(rows[7], "    1) The SOURCE drive; default: C")
            self.assertEqual(rows[8], "    2) The DESTINATION drive; default: J")
            self.assertEqual(rows[16], FRAME_TOP)
            self.assertEqual(rows[17], field_row(" Enter the Letter of SOURCE Drive: ", "C"))
            self.assertEqual(rows[18], FRAME_BOTTOM)
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


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
