#include "prompt.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "interrupt.h"

namespace {

char upper(uint8_t c) {
  return static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c);
}

int64_t monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

KeyAnswer answerFromBytes(QuestionKeys& keys, std::string_view bytes, int64_t nowMs,
                          std::string_view allowed) {
  decodeKeys(keys.decoder, bytes, nowMs, keys.events);
  KeyAnswer result;
  constexpr uint16_t altOrCtrl = controlStateFlag::leftAlt | controlStateFlag::rightAlt |
                                 controlStateFlag::leftCtrl | controlStateFlag::rightCtrl;
  for (const KeyEvent& event : keys.events) {
    if (event.character == 3) {  // Ctrl+C in a terminal without signals
      result.answer = Answer::interrupted;
      break;
    }
    const char letter = upper(event.character);
    if ((event.controlState & altOrCtrl) == 0 && letter != 0 &&
        allowed.find(letter) != std::string_view::npos) {
      result.answer = Answer::chosen;
      result.key = letter;
      break;
    }
  }
  keys.events.clear();
  return result;
}

KeyAnswer readOneOf(std::string_view allowed, const Output& output) {
  KeyAnswer result;
  // A stop from now on ends the question's line first.
  registerOpenLine(output.out);
  int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
  bool ownFd = fd >= 0;
  if (!ownFd) fd = STDIN_FILENO;

  termios saved{};
  bool isTerminal = tcgetattr(fd, &saved) == 0;
  if (isTerminal) {
    termios oneKey = saved;
    oneKey.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    oneKey.c_cc[VMIN] = 1;
    oneKey.c_cc[VTIME] = 0;
    registerTerminal(fd, saved);
    tcsetattr(fd, TCSANOW, &oneKey);
  }

  QuestionKeys keys;
  for (;;) {
    // A lone Esc, or a sequence or report begun, is decided when its time
    // is up, whether or not more comes.
    const int64_t deadline = decoderDeadline(keys.decoder);
    const int64_t now = monotonicMs();
    const int wait = deadline < 0 ? -1 : static_cast<int>(std::max<int64_t>(deadline - now, 0));
    pollfd input{fd, POLLIN, 0};
    int ready = poll(&input, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      result = answerFromBytes(keys, {}, monotonicMs(), allowed);
      if (result.answer != Answer::noInput) break;
      continue;
    }
    // One byte at a time: what follows the answer is left for whoever
    // reads next (the next question, when the input is a file).
    char byte = 0;
    ssize_t got = ready > 0 ? read(fd, &byte, 1) : -1;
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      result.answer = Answer::noInput;
      break;
    }
    result = answerFromBytes(keys, std::string_view(&byte, 1), monotonicMs(), allowed);
    if (result.answer != Answer::noInput) break;
  }

  if (isTerminal) {
    tcsetattr(fd, TCSANOW, &saved);
    clearTerminal();
  }
  if (ownFd) close(fd);

  registerOpenLine(-1);
  if (result.answer == Answer::chosen) {
    writeLine(output.out, std::string(1, result.key));
  } else {
    writeLine(output.out, "");
    if (result.answer == Answer::noInput) writeLine(output.err, text::noAnswer);
  }
  return result;
}

KeyAnswer askFileOrFolder(std::string_view targetName, const Output& output) {
  writeText(output.out, "Does " + std::string(targetName) +
                            " specify a file name or directory name on the target (F = file, D "
                            "= directory)? ");
  return readOneOf("FD", output);
}

KeyAnswer askOverwrite(std::string_view targetName, const Output& output) {
  writeText(output.out, "Overwrite " + std::string(targetName) + " (Yes/No/All)? ");
  return readOneOf("YNA", output);
}
