"""A program running in a real terminal emulator: tmux on a socket of its own, 80 x 25."""

import os
import shlex
import shutil
import subprocess
import tempfile
import time


class TmuxSession:
    def __init__(self, command, width=80, height=25, env=None, cwd=None):
        """`env` adds variables to the program's environment; a value of None unsets one."""
        self.dir = tempfile.mkdtemp(prefix="hk-e2e-")
        # The server's socket lives in that folder too, so close() leaves nothing behind.
        self.socket = os.path.join(self.dir, "tmux")
        self.output_log = os.path.join(self.dir, "pane-output")
        self.status_file = os.path.join(self.dir, "status")
        self.stty_before = os.path.join(self.dir, "stty-before")
        self.stty_after = os.path.join(self.dir, "stty-after")
        unsets = "".join(
            "unset %s; " % k for k, v in (env or {}).items() if v is None
        )
        exports = "".join(
            "export %s=%s; " % (k, shlex.quote(v)) for k, v in (env or {}).items() if v is not None
        )
        self.go_file = os.path.join(self.dir, "go")
        # The program starts only once the pane's output is being logged, so the log holds
        # every byte it sent.
        script = (
            "while [ ! -e %s ]; do sleep 0.01; done; "
            "%s%sstty -a > %s; %s; echo $? > %s.tmp; stty -a > %s; mv %s.tmp %s; sleep 600"
            % (
                shlex.quote(self.go_file),
                unsets,
                exports,
                shlex.quote(self.stty_before),
                command,
                shlex.quote(self.status_file),
                shlex.quote(self.stty_after),
                shlex.quote(self.status_file),
                shlex.quote(self.status_file),
            )
        )
        self.tmux(
            "-f", "/dev/null", "new-session", "-d", "-x", str(width), "-y", str(height),
            "-c", cwd or os.getcwd(), "sh", "-c", script,
        )
        self.tmux("set-option", "-g", "remain-on-exit", "on")
        self.tmux("pipe-pane", "-o", "cat >> %s" % shlex.quote(self.output_log))
        open(self.go_file, "w").close()

    def tmux(self, *args):
        return subprocess.run(
            ["tmux", "-S", self.socket] + list(args),
            check=True, capture_output=True, text=True,
        ).stdout

    def rows(self):
        """The screen as text, one string per row, trailing blanks kept off."""
        text = self.tmux("capture-pane", "-p", "-N")
        lines = text.split("\n")
        if lines and lines[-1] == "":
            lines.pop()
        return [l.rstrip() for l in lines]

    def styled(self):
        return self.tmux("capture-pane", "-p", "-e", "-N")

    def cursor(self):
        x, y = self.tmux("display-message", "-p", "#{cursor_x} #{cursor_y}").split()
        return int(y) + 1, int(x) + 1

    def send(self, *keys):
        self.tmux("send-keys", *keys)

    def send_raw(self, data):
        """Bytes as the terminal would send them."""
        self.tmux("send-keys", "-H", *["%02x" % b for b in data])

    def output(self):
        try:
            with open(self.output_log, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def wait_for(self, predicate, timeout=10.0, what="the screen"):
        deadline = time.time() + timeout
        while time.time() < deadline:
            rows = self.rows()
            if predicate(rows):
                return rows
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %s; screen was:\n%s" % (what, "\n".join(self.rows())))

    def wait_for_text(self, text, timeout=10.0):
        return self.wait_for(lambda rows: any(text in r for r in rows), timeout, repr(text))

    def wait_for_exit(self, timeout=10.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if os.path.exists(self.status_file):
                with open(self.status_file) as f:
                    return int(f.read().strip())
            time.sleep(0.05)
        raise AssertionError("the program did not end; screen was:\n" + "\n".join(self.rows()))

    def stty(self):
        with open(self.stty_before) as a, open(self.stty_after) as b:
            return a.read(), b.read()

    def close(self):
        subprocess.run(["tmux", "-S", self.socket, "kill-server"], capture_output=True)
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
