// XCOPY's two questions, answered with one key from the terminal. Whoever
// started us may have the terminal in raw mode; we set the mode we need and
// put back exactly what we found.
#pragma once

#include <string_view>

#include "messages.h"

enum class Answer { chosen, interrupted, noInput };

struct KeyAnswer {
  Answer answer = Answer::noInput;
  char key = 0;  // upper case, one of the allowed letters
};

// Reads /dev/tty, or standard input when there is no terminal, until one of
// the letters in `allowed` (upper case) comes as a key of its own: an arrow's
// "ESC [ D" or a terminal's reply is no "D". Ctrl+C stops; end of input is
// reported rather than waited on.
KeyAnswer readOneOf(std::string_view allowed, const Output& output);

// "Does NAME specify a file name or directory name on the target
// (F = file, D = directory)?" -> 'F' or 'D'.
KeyAnswer askFileOrFolder(std::string_view targetName, const Output& output);

// "Overwrite NAME (Yes/No/All)?" -> 'Y', 'N' or 'A'.
KeyAnswer askOverwrite(std::string_view targetName, const Output& output);
