"""The source checks of the test command fail on what they are there to catch: an include
against the layers or beyond the terminal keys library, relative ones taken for the file they
name (scripts/check-layers), and a file clang-format would change (scripts/check-format). Both
pass on the repository itself in the test command."""

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


# A project as check-layers sees it: the program's sources with the terminal keys library listed
# in src/CMakeLists.txt, and harrowkeeps-cmd beside them. Every header an include below names is
# there, so that relative includes resolve to real files.
LIBRARY = """add_library(hk_terminal_keys STATIC
  console/posix/key_decoder.h
  console/posix/key_decoder.cpp
  console/key_event.h
)
"""
HEADERS = ("src/app/program_state.h", "src/editor/field_editor.h", "src/console/screen.h",
           "src/console/keyboard.h", "src/console/key_event.h", "src/console/posix/terminal.h",
           "src/console/posix/key_decoder.h", "src/console/grid/cell_grid.h",
           "harrowkeeps-cmd/src/prompt.h", "harrowkeeps-cmd/src/messages.h")


class CheckLayers(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="hk-layers-")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def write(self, path, *lines):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.writelines(line + "\n" for line in lines)

    def make_project(self):
        shutil.rmtree(self.root)
        os.makedirs(self.root)
        self.write("src/CMakeLists.txt", LIBRARY)
        for header in HEADERS:
            self.write(header)

    def test_includes_along_the_layers_pass(self):
        self.make_project()
        self.write("src/app/menu.cpp", '#include "editor/field_editor.h"',
                   '#include "console/screen.h"', '#include "program_state.h"', "#include <string>")
        self.write("src/editor/field_editor.cpp", '#include "console/keyboard.h"',
                   '#include "../console/screen.h"', "#include <cmath>")
        self.write("src/console/posix/terminal.cpp", "#include <termios.h>",
                   "#include <sys/ioctl.h>", '#include "console/grid/cell_grid.h"',
                   '#include "terminal.h"')
        self.write("src/console/win32/main.cpp", "#include <windows.h>")
        self.write("src/console/posix/key_decoder.cpp", '#include "console/posix/key_decoder.h"',
                   '#include "../key_event.h"', "#include <string>")
        self.write("harrowkeeps-cmd/src/prompt.cpp", '#include "prompt.h"', '#include "messages.h"',
                   '#include "console/posix/key_decoder.h"', "#include <termios.h>")
        self.write("harrowkeeps-cmd/tests/prompt_test.cpp", '#include "prompt.h"',
                   '#include "console/key_event.h"')
        result = run("check-layers", self.root)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_kind_of_include_against_the_layers_fails(self):
        cases = [
            ("src/console/screen.cpp", '#include "app/program_state.h"'),
            ("src/console/screen.cpp", '#include "../app/program_state.h"'),
            ("src/console/posix/terminal.cpp", '#include "editor/field_editor.h"'),
            ("src/console/posix/terminal.cpp", '#include "../../editor/field_editor.h"'),
            ("src/editor/field_editor.cpp", '#include "app/program_state.h"'),
            ("src/editor/field_editor.cpp", '#include "../app/program_state.h"'),
            ("src/app/menu.cpp", "#include <windows.h>"),
            ("src/console/keyboard.cpp", "#include <unistd.h>"),
            ("src/editor/keys.cpp", "#include <sys/select.h>"),
            ("src/app/jobs.cpp", '#include "console/posix/terminal.h"'),
            ("src/console/keyboard.cpp", '#include "posix/terminal.h"'),
            ("src/console/process.cpp", "#include <csignal>"),
            ("src/console/screen.cpp", '#include "../../harrowkeeps-cmd/src/prompt.h"'),
            ("src/console/posix/key_decoder.cpp", '#include "console/screen.h"'),
            ("src/console/posix/key_decoder.cpp", '#include "terminal.h"'),
            ("src/console/posix/key_decoder.cpp", "#include <unistd.h>"),
            ("harrowkeeps-cmd/src/prompt.cpp", '#include "console/screen.h"'),
            ("harrowkeeps-cmd/src/prompt.cpp", '#include "../../src/app/program_state.h"'),
            ("harrowkeeps-cmd/tests/prompt_test.cpp", '#include "console/posix/terminal.h"'),
        ]
        for path, include in cases:
            with self.subTest(path=path, include=include):
                self.make_project()
                self.write(path, "#include <string>", include)
                result = run("check-layers", self.root)
                self.assertEqual(result.returncode, 1, include)
                self.assertIn(path + ":2:", result.stderr)

    def test_a_project_without_the_library_fails(self):
        self.make_project()
        os.remove(os.path.join(self.root, "src", "CMakeLists.txt"))
        result = run("check-layers", self.root)
        self.assertEqual(result.returncode, 1)
        self.assertIn("hk_terminal_keys", result.stderr)


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
