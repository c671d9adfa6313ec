"""The scripts' first step, need_debian_packages (scripts/lib/debian-packages.sh): a missing
package stops a user's run with the one apt-get line to type and exit code 2, before anything
else runs; as root it is installed with apt-get; a package that is there costs nothing.

The function runs in /bin/sh with a PATH of stand-ins only: `id` says who we are, `apt-get`
records its calls and "installs" a package by creating the command that shows it is there.
"""

import os
import shutil
import subprocess
import tempfile
import unittest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LIBRARY = os.path.join(REPO, "scripts", "lib", "debian-packages.sh")


class NeedDebianPackages(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="hk-packages-")
        self.bin = os.path.join(self.dir, "bin")
        os.mkdir(self.bin)
        self.apt_log = os.path.join(self.dir, "apt-get-calls")
        self.stand_in("apt-get", """
echo "$*" >> %s
if [ "$1" = install ]; then
  for word in "$@"; do
    case $word in pkg-*) [ -e %s/nobody-installs-$word ] || printf '' > %s/has-${word#pkg-} ;; esac
  done
  /bin/chmod +x %s/has-* 2>/dev/null
fi
exit 0
""" % (self.apt_log, self.dir, self.bin, self.bin))

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def stand_in(self, name, body):
        path = os.path.join(self.bin, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body)
        os.chmod(path, 0o755)

    def present(self, *commands):
        for command in commands:
            self.stand_in(command, "exit 0\n")

    def run_need(self, uid, *specs):
        self.stand_in("id", 'echo %d\n' % uid)
        script = '. "%s"; need_debian_packages scripts/x %s; echo "went on"' % (
            LIBRARY, " ".join(specs))
        return subprocess.run(["/bin/sh", "-c", script], capture_output=True, text=True,
                              env={"PATH": self.bin}, stdin=subprocess.DEVNULL)

    def apt_calls(self):
        if not os.path.exists(self.apt_log):
            return []
        with open(self.apt_log) as f:
            return f.read().splitlines()

    def test_a_user_is_told_the_one_command_and_the_run_stops(self):
        self.present("has-a")
        result = self.run_need(1000, "pkg-a=has-a", "pkg-b=has-b", "pkg-c=/nowhere/c*")
        self.assertEqual(result.returncode, 2)
        self.assertNotIn("went on", result.stdout)
        self.assertIn("sudo apt-get update && sudo apt-get install -y pkg-b pkg-c",
                      result.stderr)
        self.assertNotIn("pkg-a", result.stderr)
        self.assertEqual(self.apt_calls(), [])

    def test_nothing_is_installed_when_everything_is_there(self):
        self.present("has-a", "has-b")
        marker = os.path.join(self.dir, "lib-c.a")
        open(marker, "w").close()
        result = self.run_need(0, "pkg-a=has-a", "pkg-b=has-b",
                               "pkg-c=%s/lib-*.a" % self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("went on", result.stdout)
        self.assertEqual(self.apt_calls(), [])

    def test_root_installs_the_missing_ones_without_questions_and_goes_on(self):
        self.present("has-a")
        result = self.run_need(0, "pkg-a=has-a", "pkg-b=has-b", "pkg-c=has-c")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("went on", result.stdout)
        self.assertEqual(self.apt_calls(), ["update -q", "install -y -q pkg-b pkg-c"])

    def test_root_stops_when_apt_get_did_not_bring_the_package(self):
        open(os.path.join(self.dir, "nobody-installs-pkg-b"), "w").close()
        result = self.run_need(0, "pkg-b=has-b")
        self.assertEqual(result.returncode, 2)
        self.assertNotIn("went on", result.stdout)
        self.assertIn("still missing after apt-get: pkg-b", result.stderr)


if __name__ == "__main__":
    unittest.main()
