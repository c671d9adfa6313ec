"""Benchmark: what the terminal host sends for the main menu, and what a waiting menu costs.

Prints the bytes of the first frame, of a redraw of the unchanged menu (after a key that
beeps), the same redraw for a host that repaints every cell (the figure a naive full repaint
would send, measured from the first frame), and the processor time the program used while the
menu waited for 5 seconds, against the processor time of a process that polls without pause
for the same 5 seconds (the wait as a tight poll would cost it).

    python3 bench/menu_frames.py build/release/bin/harrowkeeps
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from tmux_session import TmuxSession  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


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


def main():
    program = sys.argv[1]
    with TmuxSession(program) as t:
        t.wait_for_text("Exit to Command Prompt")
        first = wait_quiet(t)
        t.send("q")  # no entry: beep and redraw
        after = wait_quiet(t)
        redraw = after - first

        pid = program_pid(t)
        start = cpu_seconds(pid)
        time.sleep(5)
        idle = cpu_seconds(pid) - start
        t.send("x")
        t.wait_for_exit()

    spin = subprocess.run(
        [sys.executable, "-c",
         "import time,os\nend=time.time()+5\nwhile time.time()<end: pass\n"
         "t=os.times(); print(t.user+t.system)"],
        capture_output=True, text=True).stdout.strip()

    print("first menu frame:             %6d bytes" % first)
    print("redraw of the unchanged menu: %6d bytes (%.4f of the first frame)" % (redraw, redraw / first))
    print("idle CPU in the menu, 5 s:    %6.3f s = %.2f%% of a core" % (idle, idle / 5 * 100))
    print("a tight poll, 5 s (peer):     %6.3f s = %.2f%% of a core" % (float(spin), float(spin) / 5 * 100))


if __name__ == "__main__":
    main()
