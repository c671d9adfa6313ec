"""Benchmark: what the terminal host sends for the main menu, and what each kind of wait costs.

Prints the bytes of the first frame, of a redraw of the unchanged menu (after a key that
beeps), the same redraw for a host that repaints every cell (the figure a naive full repaint
would send, measured from the first frame), and then, for every kind of wait the program has
(the menu, the field editor, the pause after a job, an error page, the closing question of the
generalized backup), the processor time and the wake-ups of the program while it waited, next
to two peers measured in the same run for the same time: a process that polls without pause
(what a tight poll costs) and one that sleeps 1 ms between looks (what a wait that looks every
millisecond costs).

    python3 bench/menu_frames.py build/release/bin/harrowkeeps [seconds per wait]
"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from tmux_session import TmuxSession  # noqa: E402

SECONDS = 5.0


def cpu_and_wakeups(pid):
    """Processor time in seconds (the scheduler's own count, to the nanosecond) and voluntary
    context switches: each is one time the process went to sleep and was woken again."""
    with open("/proc/%d/schedstat" % pid) as f:
        cpu = int(f.read().split()[0]) / 1e9
    with open("/proc/%d/status" % pid) as f:
        switches = next(int(l.split()[1]) for l in f if l.startswith("voluntary_ctxt_switches"))
    return cpu, switches


def program_pid(session):
    shell = int(session.tmux("list-panes", "-F", "#{pane_pid}").strip())
    out = subprocess.run(["pgrep", "-P", str(shell)], capture_output=True, text=True).stdout
    return int(out.split()[0])


def wait_quiet(session, seconds=0.3):
    """Until the output has not grown for a while."""
    size = -1
    while True:
        now = len(session.output())
        if now == size:
            return now
        size = now
        time.sleep(seconds)


def measure(pid, seconds):
    cpu, wakeups = cpu_and_wakeups(pid)
    time.sleep(seconds)
    cpu_after, wakeups_after = cpu_and_wakeups(pid)
    return cpu_after - cpu, wakeups_after - wakeups


def peer(body, seconds):
    """Processor time of a Python process running `body` for `seconds`, as it counts it."""
    code = ("import time,select\nend=time.monotonic()+%r\n%s\n"
            "print(open('/proc/self/schedstat').read().split()[0])" % (seconds, body))
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True).stdout
    return int(out.strip()) / 1e9


def waits_with_an_interpreter(program, seconds, results):
    folder = tempfile.mkdtemp(prefix="hk-bench-")
    interpreter = os.path.join(folder, "cmd")
    with open(interpreter, "w") as f:
        f.write("#!/bin/sh\necho '1 File(s) copied'\n")
    os.chmod(interpreter, 0o755)
    with TmuxSession(program, env={"COMSPEC": interpreter}) as t:
        t.wait_for_text("Exit to Command Prompt")
        first = wait_quiet(t)
        t.send("q")  # no entry: beep and redraw
        after = wait_quiet(t)
        results["frames"] = (first, after - first)
        pid = program_pid(t)

        results["menu"] = measure(pid, seconds)

        t.send("s")
        t.wait_for_text("SOURCE Drive")
        wait_quiet(t, 0.1)
        results["field editor"] = measure(pid, seconds)
        t.send("Enter")
        t.wait_for_text("TARGET Drive")
        t.send("Enter")
        t.wait_for_text("Exit to Command Prompt")

        t.send("d")
        t.wait_for_text("Press a key to continue")
        wait_quiet(t, 0.1)
        results["pause after a job"] = measure(pid, seconds)
        t.send("Space")
        t.wait_for_text("Exit to Command Prompt")

        t.send("a")
        t.wait_for_text("Return to Main Menu")
        t.send("g")
        t.wait_for_text("Generalized backup")
        t.send("Enter")
        t.wait_for_text("Enter Destination Drive")
        t.send("Enter")
        t.wait_for_text("Press a key to continue")
        t.send("Space")
        t.wait_for_text("Run this function again (Y/N)?")
        wait_quiet(t, 0.1)
        results["closing question"] = measure(pid, seconds)
        t.send("n")
        t.wait_for_text("Return to Main Menu")
        t.send("x")
        t.wait_for_text("Exit to Command Prompt")
        t.send("x")
        t.wait_for_exit()
    os.remove(interpreter)
    os.rmdir(folder)


def error_page_wait(program, seconds, results):
    with TmuxSession(program, env={"COMSPEC": ""}) as t:
        t.wait_for_text("Exit to Command Prompt")
        pid = program_pid(t)
        t.send("d")
        t.wait_for_text("Press <Spacebar> to resume...")
        wait_quiet(t, 0.1)
        results["error page"] = measure(pid, seconds)
        t.send("Space")
        t.wait_for_text("Exit to Command Prompt")
        t.send("x")
        t.wait_for_exit()


def main():
    program = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else SECONDS
    results = {}
    waits_with_an_interpreter(program, seconds, results)
    error_page_wait(program, seconds, results)
    spin = peer("while time.monotonic()<end: pass", seconds)
    millisecond = peer("while time.monotonic()<end: time.sleep(0.001)", seconds)

    first, redraw = results["frames"]
    print("first menu frame:             %6d bytes" % first)
    print("redraw of the unchanged menu: %6d bytes (%.4f of the first frame)"
          % (redraw, redraw / first))
    print()
    print("processor time while waiting, %.0f s each:" % seconds)
    for kind in ("menu", "field editor", "pause after a job", "error page", "closing question"):
        cpu, wakeups = results[kind]
        print("  %-28s %8.5f s = %7.4f%% of a core, %5d wake-ups"
              % (kind, cpu, cpu / seconds * 100, wakeups))
    print("  %-28s %8.5f s = %7.4f%% of a core" % ("peer: a tight poll", spin,
                                                  spin / seconds * 100))
    print("  %-28s %8.5f s = %7.4f%% of a core" % ("peer: a look every 1 ms", millisecond,
                                                  millisecond / seconds * 100))


if __name__ == "__main__":
    main()
