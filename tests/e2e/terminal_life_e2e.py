"""The real program in tmux, around its screens: Ctrl+C stops a command and not the program, a
signal that ends the program ends its command too, a resize or a stop and resume repaints."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from tmux_session import TmuxSession

PROGRAM = None

PAUSE = "Press a key to continue ..."


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


class ResizeAndResume(unittest.TestCase):
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


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
