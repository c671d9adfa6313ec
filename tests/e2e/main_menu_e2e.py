"""The real program in tmux: the main menu drawn exactly, keys that beep, the way out."""

import sys
import time
import unittest

from golden import golden_rows
from tmux_session import TmuxSession

PROGRAM = None

MENU = golden_rows("main_menu")


def menu_shown(rows):
    return rows[:24] == MENU[:24]


class MainMenuInTerminal(unittest.TestCase):
    def test_menu_beeps_and_exit(self):
        with TmuxSession(PROGRAM) as t:
            rows = t.wait_for(menu_shown, what="the main menu")
            self.assertEqual(rows[:25], MENU)
            styled = t.styled()
            # Bright yellow on cyan, as the console's colour 14 on 3.
            self.assertIn("\x1b[93m", styled)
            self.assertIn("46m", styled)
            self.assertEqual(t.cursor(), (25, 1))

            before = t.output().count(b"\a")
            for key in ("Up", "F5", "C-a", "q"):
                t.send(key)
                deadline = time.time() + 5
                while t.output().count(b"\a") == before and time.time() < deadline:
                    time.sleep(0.02)
                after = t.output().count(b"\a")
                self.assertEqual(after, before + 1, "no beep for " + key)
                before = after
                t.wait_for(menu_shown, what="the redrawn menu after " + key)

            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)
            rows = t.rows()
            self.assertTrue(all(r == "" for r in rows[1:]), rows)
            before, after = t.stty()
            self.assertEqual(before, after, "the terminal's mode was not put back")
            self.assertIn(" icanon", after)
            self.assertIn(" echo", after)

    def test_escape_alone_and_escape_sequences_do_not_leak(self):
        with TmuxSession(PROGRAM) as t:
            t.wait_for(menu_shown, what="the main menu")
            before = t.output().count(b"\a")
            t.send("Escape")
            deadline = time.time() + 5
            while t.output().count(b"\a") == before and time.time() < deadline:
                time.sleep(0.02)
            self.assertEqual(t.output().count(b"\a"), before + 1)
            t.send_raw(b"\x1b[1;5C")  # Ctrl+Right: one key, one beep
            deadline = time.time() + 5
            while t.output().count(b"\a") < before + 2 and time.time() < deadline:
                time.sleep(0.02)
            t.wait_for(menu_shown, what="the redrawn menu after Ctrl+Right")
            self.assertEqual(t.output().count(b"\a"), before + 2)
            t.send("X")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_terminated_from_outside_puts_the_terminal_back(self):
        with TmuxSession(PROGRAM) as t:
            t.wait_for(menu_shown, what="the main menu")
            pid = t.tmux("list-panes", "-F", "#{pane_pid}").strip()
            import subprocess
            subprocess.run(["pkill", "-TERM", "-P", pid, "-x", "harrowkeeps"], check=False)
            status = t.wait_for_exit()
            self.assertEqual(status, 128 + 15)
            before, after = t.stty()
            self.assertEqual(before, after)

    def test_a_resized_terminal_is_followed(self):
        with TmuxSession(PROGRAM) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.tmux("resize-window", "-x", "100", "-y", "30")
            time.sleep(0.3)
            before = t.output().count(b"\a")
            t.send("q")  # beeps and redraws on the larger screen
            # The resize alone redraws the menu too; until the beep, "q" may not be taken yet, and
            # a key sent then is typed ahead, which the menu's redraw throws away.
            deadline = time.time() + 5
            while t.output().count(b"\a") <= before and time.time() < deadline:
                time.sleep(0.02)
            rows = t.wait_for(lambda r: len(r) == 30 and menu_shown(r), what="the resized menu")
            self.assertTrue(all(r == "" for r in rows[25:]))
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)


class WithoutTerminal(unittest.TestCase):
    def test_says_so_and_ends_with_1(self):
        import subprocess
        # A new session has no controlling terminal, so there is no keyboard to read.
        result = subprocess.run(["setsid", "-w", PROGRAM], stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=20)
        self.assertEqual(result.returncode, 1)
        self.assertIn("no terminal", result.stderr)
        self.assertEqual(result.stderr.count("\n"), 1)


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
