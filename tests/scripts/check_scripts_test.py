"""The source checks of the test command fail on what they are there to catch: an include
against the layers (scripts/check-layers) and a file clang-format would change
(scripts/check-format). Both pass on the repository itself in the test command."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def run(script, *args):
    return subprocess.run([os.path.join(REPO, "scripts", script)] + list(args),
                          capture_output=True, text=True)


class CheckLayers(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="hk-layers-")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def write(self, path, *includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.writelines(i + "\n" for i in includes)

    def test_includes_along_the_layers_pass(self):
        self.write("app/menu.cpp", '#include "editor/field_editor.h"', '#include "console/screen.h"',
                   "#include <string>")
        self.write("editor/field_editor.cpp", '#include "console/keyboard.h"', "#include <cmath>")
        self.write("console/posix/terminal.cpp", "#include <termios.h>", "#include <sys/ioctl.h>",
                   '#include "console/grid/cell_grid.h"')
        self.write("console/win32/main.cpp", "#include <windows.h>")
        result = run("check-layers", self.root)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_kind_of_include_against_the_layers_fails(self):
        cases = {
            "console/screen.cpp": '#include "app/program_state.h"',
            "console/posix/terminal.cpp": '#include "editor/field_editor.h"',
            "editor/field_editor.cpp": '#include "app/program_state.h"',
            "app/menu.cpp": "#include <windows.h>",
            "console/keyboard.cpp": "#include <unistd.h>",
            "editor/keys.cpp": "#include <sys/select.h>",
            "app/jobs.cpp": '#include "console/posix/terminal.h"',
            "console/process.cpp": "#include <csignal>",
        }
        for path, include in cases.items():
            with self.subTest(path=path):
                shutil.rmtree(self.root)
                os.makedirs(self.root)
                self.write(path, "#include <string>", include)
                result = run("check-layers", self.root)
                self.assertEqual(result.returncode, 1, include)
                self.assertIn(path + ":2:", result.stderr)


class CheckFormat(unittest.TestCase):
    def test_an_unformatted_file_fails_and_a_formatted_one_passes(self):
        folder = tempfile.mkdtemp(prefix="hk-format-")
        try:
            path = os.path.join(folder, "a.cpp")
            with open(path, "w") as f:
                f.write("int  twice( int x ){return 2*x;}\n")
            result = run("check-format", folder)
            self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
            self.assertIn(path, result.stderr)
            with open(path, "w") as f:
                f.write("int twice(int x) {\n  return 2 * x;\n}\n")
            result = run("check-format", folder)
            self.assertEqual(result.returncode, 0, result.stderr)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
