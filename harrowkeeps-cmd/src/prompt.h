// XCOPY's two questions, answered with one key from the terminal. Whoever
// started us may have the terminal in raw mode; we set the mode we need and
// put back exactly what we found.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>

#include "console/key_event.h"
#include "console/posix/key_decoder.h"
#include "messages.h"

enum class Answer { chosen, interrupted, noInput };

struct KeyAnswer {
  Answer answer = Answer::noInput;
  char key = 0;  // upper case, one of the allowed letters
};

// Reads /dev/tty, or standard input when there is no terminal, until one of
// the letters in `allowed` (upper case) comes as a key of its own: an arrow's
// "ESC [ D", Alt+D or a letter inside a terminal's reply or report is no "D".
// Ctrl+C stops; end of input is reported rather than waited on.
KeyAnswer readOneOf(std::string_view allowed, const Output& output);

// "Does NAME specify a file name or directory name on the target
// (F = file, D = directory)?" -> 'F' or 'D'.
KeyAnswer askFileOrFolder(std::string_view targetName, const Output& output);

// "Overwrite NAME (Yes/No/All)?" -> 'Y', 'N' or 'A'.
KeyAnswer askOverwrite(std::string_view targetName, const Output& output);

// The keys a question has read so far, decoded by the program's terminal key
// decoder (the library both programs link).
struct QuestionKeys {
  KeyDecoder decoder;
  std::deque<KeyEvent> events;
};

// Takes bytes that arrived at `nowMs` (none: only time has passed) and says
// what they answer: a chosen letter, an interrupt (Ctrl+C read as a key), or
// nothing yet (Answer::noInput). Keys after the answer are dropped.
KeyAnswer answerFromBytes(QuestionKeys& keys, std::string_view bytes, int64_t nowMs,
                          std::string_view allowed);
