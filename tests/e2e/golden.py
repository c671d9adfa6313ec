"""The screens as the user sees them, one file each in tests/golden, which the C++ tests read
as well: rows of UTF-8 text, the blanks at their ends left off, as TmuxSession.rows gives them."""

import os

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden")


def golden_rows(name):
    with open(os.path.join(GOLDEN, name + ".txt"), encoding="utf-8") as f:
        return f.read().split("\n")[:-1]
