#include "prompt.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "interrupt.h"
#include "key_decoder.h"

namespace {

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

}  // namespace

KeyAnswer readOneOf(std::string_view allowed, const Output& output) {
  KeyAnswer result;
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

  KeyDecoder decoder;
  for (;;) {
    // Between the bytes of a sequence the terminal sends them at once; a
    // pause means it was a lone Esc, or a sequence cut off, and either is
    // dropped whole.
    int wait = !inSequence(decoder) ? -1 : decoder.state == DecoderState::escape ? 100 : 500;
    pollfd input{fd, POLLIN, 0};
    int ready = poll(&input, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      giveUpSequence(decoder);
      continue;
    }
    unsigned char byte = 0;
    ssize_t got = ready > 0 ? read(fd, &byte, 1) : -1;
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      result.answer = Answer::noInput;
      break;
    }
    DecodedByte decoded = decodeByte(decoder, byte);
    if (decoded.what == Decoded::interrupt) {  // Ctrl+C in a terminal without signals
      result.answer = Answer::interrupted;
      break;
    }
    if (decoded.what != Decoded::key) continue;
    char letter = upper(decoded.key);
    if (letter != 0 && allowed.find(letter) != std::string_view::npos) {
      result.answer = Answer::chosen;
      result.key = letter;
      break;
    }
  }

  if (isTerminal) {
    tcsetattr(fd, TCSANOW, &saved);
    clearTerminal();
  }
  if (ownFd) close(fd);

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
