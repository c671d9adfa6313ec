"""The real program in tmux, around its screens: Ctrl+C stops a command and not the program, a
signal that ends the program ends its command's whole process group too, a resize or a stop and
resume repaints (the screen from row 1 at every size of at least 80 x 25, the cursor's shape
again after a stop), and a report that comes in two reads never reaches a field."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from golden import golden_rows
from input_screens_e2e import BLOCK, THIN, field_row
from tmux_session import TmuxSession

PROGRAM = None

PAUSE = "Press a key to continue ..."

SOURCE_FIELD = " Enter the Letter of SOURCE Drive: "

# The cursor's shape last asked of the terminal: DECSCUSR, "ESC [ n SP q".
CURSOR_SHAPE = re.compile(rb"\x1b\[[0-9]* q")


def menu_shown(rows):
    return len(rows) > 22 and "Select the function:" in rows[6] and "Exit to Command" in rows[22]


def processes():
    """pid -> (parent pid, process group, state) for every process there is."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        table[int(entry)] = (int(fields[1]), int(fields[2]), fields[0])
    return table


def program_pid(session):
    """The program: the descendant of the pane's shell that runs PROGRAM's file."""
    shell = int(session.tmux("list-panes", "-F", "#{pane_pid}").strip())
    target = os.path.realpath(PROGRAM)
    deadline = time.time() + 10
    while time.time() < deadline:
        table = processes()
        family = {shell}
        grew = True
        while grew:
            grew = False
            for pid, (parent, _, _) in table.items():
                if parent in family and pid not in family:
                    family.add(pid)
                    grew = True
        for pid in family:
            try:
                if os.path.realpath("/proc/%d/exe" % pid) == target:
                    return pid
            except OSError:
                pass
        time.sleep(0.05)
    raise AssertionError("the program's process was not found")


def living_members(group):
    """The processes of a process group that have not ended (a zombie has)."""
    return [pid for pid, (_, g, state) in processes().items() if g == group and state != "Z"]


def wait_until(predicate, what, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Interpreter:
    """A command interpreter that notes its process id, says it started, and runs `body`."""

    def __init__(self, body):
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-life-")
        self.path = os.path.join(self.dir, "cmd")
        self.pid_file = os.path.join(self.dir, "pid")
        with open(self.path, "w") as f:
            f.write("#!/bin/sh\n")
            f.write("echo $$ > %s.tmp && mv %s.tmp %s\n" % ((self.pid_file,) * 3))
            f.write("echo started\n")
            f.write(body)
        os.chmod(self.path, 0o755)

    def pid(self):
        wait_until(lambda: os.path.exists(self.pid_file), "the interpreter to start")
        with open(self.pid_file) as f:
            return int(f.read())

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class CommandsAsJobs(unittest.TestCase):
    def run_until_started(self, t, interpreter):
        t.wait_for(menu_shown, what="the main menu")
        t.send("d")
        t.wait_for_text("started")
        return interpreter.pid()

    def test_ctrl_c_stops_the_command_and_the_job_goes_on_to_its_pause(self):
        slow = Interpreter("sleep 60\necho finished\n")
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": slow.path}) as t:
                group = self.run_until_started(t, slow)
                # The command has a process group of its own, the terminal's foreground one.
                self.assertEqual(processes()[group][1], group)
                self.assertNotEqual(processes()[program_pid(t)][1], group)
                t.send("C-c")
                rows = t.wait_for_text(PAUSE)
                self.assertEqual(rows[:2], ["started", PAUSE])
                wait_until(lambda: not living_members(group), "the command's processes to end")
                t.send("q")
                t.wait_for(menu_shown, what="the menu after the pause")
                # Raw again: Ctrl+C is an ordinary key in the menu (it beeps), x still ends it.
                t.send("C-c")
                time.sleep(0.2)
                self.assertTrue(menu_shown(t.rows()))
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
                before, after = t.stty()
                self.assertEqual(before, after)
        finally:
            slow.close()

    def check_ended_with_its_command(self, body, sent, expected_status):
        command = Interpreter(body)
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": command.path}) as t:
                group = self.run_until_started(t, command)
                os.kill(program_pid(t), sent)
                self.assertEqual(t.wait_for_exit(timeout=15), expected_status)
                wait_until(lambda: not living_members(group), "the command's processes to end")
                before, after = t.stty()
                self.assertEqual(before, after)
        finally:
            command.close()

    def test_sigterm_during_a_command_ends_the_command_then_the_program(self):
        self.check_ended_with_its_command("sleep 60\n", signal.SIGTERM, 128 + signal.SIGTERM)

    def test_sigint_from_outside_during_a_command_ends_both(self):
        self.check_ended_with_its_command("sleep 60\n", signal.SIGINT, 128 + signal.SIGINT)

    def test_a_command_that_ignores_the_signal_is_killed_after_a_grace_time(self):
        # `trap ''` leaves SIGTERM ignored in the shell and in the sleep it starts.
        self.check_ended_with_its_command("trap '' TERM\nsleep 60\n", signal.SIGTERM,
                                          128 + signal.SIGTERM)

    def test_a_member_of_the_group_that_ignores_the_signal_outlives_neither_grace_nor_program(self):
        # The interpreter dies of the signal at once; a process it started in the background
        # ignores it. The group, not the interpreter, is what the program waits for.
        for sent in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            command = Interpreter("(trap '' TERM HUP INT; exec sleep 60) &\nsleep 60\n")
            group = None
            try:
                with TmuxSession(PROGRAM, env={"COMSPEC": command.path}) as t:
                    group = self.run_until_started(t, command)
                    wait_until(lambda: len(living_members(group)) == 3,
                               "the interpreter, its sleep and the one that ignores signals")
                    sent_at = time.time()
                    program = program_pid(t)
                    os.kill(program, sent)
                    # Sent again during the grace time, as impatient senders do: it goes to the
                    # group as well and changes nothing.
                    time.sleep(0.5)
                    os.kill(program, sent)
                    self.assertEqual(t.wait_for_exit(timeout=15), 128 + sent, sent)
                    self.assertGreater(time.time() - sent_at, 2.5, "ended before the grace time")
                    # Killed before the program ended: gone as soon as the kernel has done it.
                    wait_until(lambda: not living_members(group), "the group to be gone",
                               timeout=1.0)
            finally:
                if group is not None and living_members(group):
                    os.killpg(group, signal.SIGKILL)  # what a failed run left behind
                command.close()


def drawn_from_row_1(screen):
    """At a size of at least 80 x 25: the screen as the program drew it, from row 1, and blank
    rows below."""
    return lambda rows: rows[:len(screen)] == screen and not any(rows[len(screen):])


def around_the_cursor(screen, cursor, width, height):
    """On a smaller terminal: the window as near the top left as it can be with the cursor."""
    top = max(0, cursor[0] - height)
    left = max(0, cursor[1] - width)
    rows = (screen + [""] * 25)[top:top + height]
    return [r[left:left + width].rstrip() for r in rows]


class ResizeAndResume(unittest.TestCase):
    def check_sizes(self, t, screen, cursor):
        """Shrinks to 80 x 25 and below, grows past it and back: no part of `screen` is lost
        for good, and no size of at least 80 x 25 shows less than all of it."""
        for width, height in ((80, 25), (60, 20), (120, 40), (50, 10), (100, 30), (80, 25)):
            t.tmux("resize-window", "-x", str(width), "-y", str(height))
            what = "the screen at %d x %d" % (width, height)
            if width >= 80 and height >= 25:
                t.wait_for(drawn_from_row_1(screen), what=what)
                self.assertEqual(t.cursor(), cursor, what)
            else:
                window = around_the_cursor(screen, cursor, width, height)
                t.wait_for(lambda rows: rows == window, what=what)

    def test_every_size_of_80_by_25_or_more_shows_the_screen_from_row_1_after_a_larger_one(self):
        menu = golden_rows("main_menu")
        menu2 = golden_rows("menu2")
        selection = golden_rows("drive_selection")
        with TmuxSession(PROGRAM, width=120, height=40) as t:
            t.wait_for(drawn_from_row_1(menu), what="the menu on 120 x 40")
            self.check_sizes(t, menu, (25, 1))
            t.send("a")
            t.wait_for(drawn_from_row_1(menu2), what="Menu II")
            self.check_sizes(t, menu2, t.cursor())
            t.send("x")
            t.wait_for(drawn_from_row_1(menu), what="the menu again")
            t.tmux("resize-window", "-x", "120", "-y", "40")
            t.send("s")
            t.wait_for(drawn_from_row_1(selection), what="the drive selection screen")
            # In a field while it is edited: typed at every size, shown from row 1.
            t.send("End")
            text = "C"
            for width, height in ((80, 25), (60, 20), (80, 25), (90, 30)):
                t.tmux("resize-window", "-x", str(width), "-y", str(height))
                text += "x"
                t.send("x")
                edited = list(selection)
                edited[17] = field_row(" Enter the Letter of SOURCE Drive: ", text)
                window = (drawn_from_row_1(edited) if width >= 80 else
                          (lambda rows, w=around_the_cursor(edited, (18, 51 + len(text)), width,
                                                              height): rows == w))
                t.wait_for(window, what="the field with %r at %d x %d" % (text, width, height))
                if width >= 80:
                    self.assertEqual(t.cursor(), (18, 51 + len(text)))
            t.send("Enter", "Enter")
            t.wait_for(drawn_from_row_1(menu), what="the menu after the drive selection")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_shrinking_and_growing_back_shows_the_whole_menu_without_a_key(self):
        with TmuxSession(PROGRAM) as t:
            whole = t.wait_for(menu_shown, what="the main menu")
            self.assertEqual(t.cursor(), (25, 1))
            t.tmux("resize-window", "-x", "60", "-y", "20")
            # The window follows the cursor on the bottom row: rows 6 to 25, columns 1 to 60.
            cut = [r[:60].rstrip() for r in whole[5:25]]
            t.wait_for(lambda rows: rows[:20] == cut, what="the menu's lower part, cut at 60")
            self.assertEqual(t.cursor(), (20, 1))
            t.tmux("resize-window", "-x", "80", "-y", "25")
            t.wait_for(lambda rows: rows == whole, what="the whole menu again")
            self.assertEqual(t.cursor(), (25, 1))
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)

    def test_a_pause_keeps_the_command_output_through_a_shrink(self):
        lines = Interpreter("i=1; while [ $i -le 22 ]; do echo line $i; i=$((i+1)); done\n"
                            "echo '3 File(s) copied'\n")
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": lines.path}) as t:
                t.wait_for(menu_shown, what="the main menu")
                t.send("d")
                whole = t.wait_for_text(PAUSE)
                # The newline after the pause on the bottom row scrolled the screen once.
                self.assertEqual(whole[0], "line 1")
                self.assertEqual(whole[22:], ["3 File(s) copied", PAUSE, ""])
                t.tmux("resize-window", "-x", "50", "-y", "10")
                t.wait_for(lambda rows: rows == whole[15:], what="the window on the pause")
                t.tmux("resize-window", "-x", "80", "-y", "25")
                t.wait_for(lambda rows: rows == whole, what="every line of the output again")
                t.send("q")
                t.wait_for(menu_shown, what="the menu")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
        finally:
            lines.close()

    def test_a_terminal_grown_while_a_command_runs_grows_the_commands_terminal(self):
        # The command has the terminal, so the resize signal is its alone: the program has to
        # notice the new size itself and pass it on to the command's own terminal.
        sizes = Interpreter("i=0\n"
                            "while [ $i -lt 200 ]; do\n"
                            "  [ \"$(stty size <&2)\" = '30 100' ] && { echo grown; exit 0; }\n"
                            "  sleep 0.05; i=$((i+1))\n"
                            "done\n"
                            "echo still $(stty size <&2)\n")
        try:
            with TmuxSession(PROGRAM, env={"COMSPEC": sizes.path}) as t:
                t.wait_for(menu_shown, what="the main menu")
                t.send("d")
                t.wait_for_text("started")
                t.tmux("resize-window", "-x", "100", "-y", "30")
                rows = t.wait_for_text(PAUSE, timeout=20.0)
                self.assertTrue(any(r.strip() == "grown" for r in rows), rows)
                t.send("q")
                t.wait_for(menu_shown, what="the menu")
                t.send("x")
                self.assertEqual(t.wait_for_exit(), 0)
        finally:
            sizes.close()

    def test_sigtstp_puts_the_terminal_back_and_fg_shows_the_exact_menu(self):
        shell = shutil.which("bash")
        if shell is None:
            self.skipTest("no bash for job control")
        with TmuxSession("%s --norc --noprofile -i" % shell, env={"PS1": "$ "}) as t:
            t.wait_for_text("$")
            t.send("stty -a > %s/shell-mode; %s" % (t.dir, PROGRAM), "Enter")
            menu = t.wait_for(menu_shown, what="the main menu")
            cursor = t.cursor()
            os.kill(program_pid(t), signal.SIGTSTP)
            t.wait_for_text("Stopped")
            # The shell has its own mode back: what it types is echoed.
            t.send("echo typed-at-the-prompt")
            t.wait_for_text("typed-at-the-prompt")
            t.send("C-u", "fg", "Enter")
            t.wait_for(lambda rows: rows == menu, what="the exact menu after fg")
            self.assertEqual(t.cursor(), cursor)
            t.send("x")
            t.wait_for_text("$")
            t.send("stty -a > %s/shell-mode-after; exit" % t.dir, "Enter")
            self.assertEqual(t.wait_for_exit(), 0)
            with open(os.path.join(t.dir, "shell-mode")) as a:
                with open(os.path.join(t.dir, "shell-mode-after")) as b:
                    self.assertEqual(a.read(), b.read())

    def test_fg_gives_the_cursor_its_shape_again(self):
        shell = shutil.which("bash")
        if shell is None:
            self.skipTest("no bash for job control")
        with TmuxSession("%s --norc --noprofile -i" % shell, env={"PS1": "$ "}) as t:
            t.wait_for_text("$")
            t.send(PROGRAM, "Enter")
            t.wait_for(menu_shown, what="the main menu")
            t.send("s")
            field = lambda rows: len(rows) > 17 and rows[17] == field_row(SOURCE_FIELD, "C")
            t.wait_for(field, what="the source field")
            # Thin while inserting, a block after Ins: stopping puts the terminal's own shape
            # back, and fg must ask for the field's again.
            for key, shape in ((None, THIN), ("IC", BLOCK)):
                mark = len(t.output())
                if key is not None:
                    t.send(key)
                    wait_until(lambda: shape in t.output()[mark:], "the cursor's new shape")
                os.kill(program_pid(t), signal.SIGTSTP)
                t.wait_for_text("Stopped")
                mark = len(t.output())
                t.send("fg", "Enter")
                t.wait_for(field, what="the field after fg")
                wait_until(lambda: CURSOR_SHAPE.findall(t.output()[mark:])[-1:] == [shape],
                           "the shape %r after fg" % shape)
            t.send("Enter", "Enter")
            t.wait_for(menu_shown, what="the menu")
            t.send("x")
            t.wait_for_text("$")
            t.send("exit", "Enter")
            self.assertEqual(t.wait_for_exit(), 0)


class ReportsInTwoReads(unittest.TestCase):
    def test_the_rest_of_a_report_that_comes_late_never_reaches_a_field(self):
        # Each report is cut where a slow link may cut it, after its kind is known; the rest
        # comes well after a lone Esc would have been decided.
        reports = (
            (b"\x1b[<0;12;", b"5M"),  # SGR mouse press
            (b"\x1b[<35;1", b"0;3m"),  # SGR mouse release
            (b"\x1b[M", b" !!"),  # X10 mouse
            (b"\x1b[?2004;", b"2$y"),  # a mode's report (DECRPM)
            (b"\x1b]11;rgb:0000/0000/0000\x1b", b"\\"),  # a colour reply cut inside its ST
            (b"\xc2\x9b<0;1;", b"1M"),  # SGR mouse after an 8-bit CSI in UTF-8
        )
        with TmuxSession(PROGRAM) as t:
            t.wait_for(menu_shown, what="the main menu")
            t.send("s")
            t.wait_for(lambda r: len(r) > 17 and r[17] == field_row(SOURCE_FIELD, "C"),
                       what="the source field")
            t.send("End")
            for first, rest in reports:
                t.send_raw(first)
                time.sleep(0.15)
                t.send_raw(rest)
            t.send("x")
            rows = t.wait_for(lambda r: "x" in r[17], what="the typed x")
            self.assertEqual(rows[17], field_row(SOURCE_FIELD, "Cx"))
            t.send("Enter", "Enter")
            t.wait_for(menu_shown, what="the menu")
            t.send("x")
            self.assertEqual(t.wait_for_exit(), 0)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
