#include "console/posix/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "console/grid/cell_grid.h"
#include "console/posix/terminal_signals.h"

Terminal terminal;

namespace {

void failWithoutTerminal(const char* what) {
  std::fprintf(stderr, "harrowkeeps: %s; run it in a terminal.\n", what);
  std::exit(1);
}

void writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      return;  // the terminal is gone; nothing sensible is left to draw on
    }
    done += static_cast<size_t>(n);
  }
}

// Every key reaches the program as it is typed: no line editing, no echo, Ctrl+C, Ctrl+Z and
// Ctrl+S are ordinary keys, Enter arrives as CR. Output processing stays on for the commands
// the program runs.
termios rawMode() {
  termios raw = terminal.savedMode;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF);
  // Drawing while a command has the terminal must not stop the program.
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN | TOSTOP);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  return raw;
}

// A terminal that has hung up sends no key any more: every wait for one would be for ever.
void endIfHungUp(short revents) {
  if ((revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return;
  restoreTerminalState();
  std::_Exit(1);
}

}  // namespace

void applyRawMode() {
  if (!terminal.modeSaved) return;
  const termios raw = rawMode();
  tcsetattr(terminal.keyboardFd, TCSANOW, &raw);
}

void applyCommandMode() {
  if (!terminal.modeSaved) return;
  termios mode = rawMode();
  // The interrupt key stops the command as a shell's would; quitting and suspending stay
  // ordinary keys, so nothing but an interrupt reaches the command as a signal.
  mode.c_lflag |= ISIG;
  if (mode.c_cc[VINTR] == _POSIX_VDISABLE) mode.c_cc[VINTR] = 3;  // Ctrl+C
  mode.c_cc[VQUIT] = _POSIX_VDISABLE;
  mode.c_cc[VSUSP] = _POSIX_VDISABLE;
  mode.c_cc[VMIN] = 1;
  tcsetattr(terminal.keyboardFd, TCSANOW, &mode);
}

void restoreTerminalState() {
  if (terminal.screenFd >= 0) {
    static const char reset[] = "\x1b[0m\x1b[0 q\x1b[?25h";
    ssize_t ignored = write(terminal.screenFd, reset, sizeof reset - 1);
    (void)ignored;
  }
  if (terminal.modeSaved && terminal.keyboardFd >= 0) {
    tcsetattr(terminal.keyboardFd, TCSANOW, &terminal.savedMode);
  }
}

bool lendTerminal() {
  if (terminal.keyboardFd < 0 || tcgetpgrp(terminal.keyboardFd) != getpgrp()) return false;
  applyCommandMode();
  terminal.lent = true;
  return true;
}

void takeBackTerminal() {
  const bool lent = terminal.lent;
  {
    // The program may be out of the foreground here.
    const HeldSignals ttou{SIGTTOU};
    terminal.lent = false;
    setCommandGroup(0, false);
    if (lent) tcsetpgrp(terminal.keyboardFd, getpgrp());
    if (lent || tcgetpgrp(terminal.keyboardFd) == getpgrp()) applyRawMode();
  }
  if (lent) lookAtTerminalSize();
}

int64_t monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void openTerminal() {
  terminal.keyboardFd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal.keyboardFd < 0) failWithoutTerminal("no terminal to read keys from");
  if (isatty(STDOUT_FILENO)) {
    terminal.screenFd = STDOUT_FILENO;
  } else if (isatty(STDERR_FILENO)) {
    terminal.screenFd = STDERR_FILENO;
  } else {
    close(terminal.keyboardFd);
    terminal.keyboardFd = -1;
    failWithoutTerminal(
        "no terminal to draw the screen on (standard output and error are not one)");
  }
  if (pipe2(terminal.wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    terminal.wakePipe[0] = terminal.wakePipe[1] = -1;
  }
  if (tcgetattr(terminal.keyboardFd, &terminal.savedMode) == 0) {
    terminal.modeSaved = true;
    applyRawMode();
  }
  std::atexit(restoreTerminalState);
  installSignalHandlers();
  lookAtTerminalSize();
}

void followTerminalChanges() {
  // The pipe is emptied before the notes are taken: a signal in between leaves both a note and
  // a byte, so the next wait wakes for it at once, and a byte never stays without its note.
  char drain[64];
  while (terminal.wakePipe[0] >= 0 && read(terminal.wakePipe[0], drain, sizeof drain) > 0) {
  }
  const bool resized = takeResizeNote();
  const bool resumed = takeRepaintNote();
  if (!resized && !resumed) return;
  lookAtTerminalSize();
  // After a resize the terminal's contents are its own guess; after a stop someone else drew.
  terminal.view.known = false;
  screenGrid.changed = true;
}

void lookAtTerminalSize() {
  winsize size{};
  if (ioctl(terminal.screenFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return;  // a terminal that knows no size keeps the one it had
  }
  if (size.ws_col == screenGrid.windowWidth && size.ws_row == screenGrid.windowHeight) return;
  fitWindow(screenGrid, size.ws_col, size.ws_row);
  terminal.view.known = false;
}

void presentScreen() {
  followTerminalChanges();
  followCursor(screenGrid);
  if (!screenGrid.changed && terminal.view.known && !terminal.beepPending) return;
  std::string out;
  renderFrame(screenGrid, terminal.view, terminal.beepPending, out);
  terminal.beepPending = false;
  screenGrid.changed = false;
  if (!out.empty()) writeAll(terminal.screenFd, out);
}

void readKeyboard() {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(terminal.keyboardFd, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  if (!bytes.empty() || !terminal.decoder.pending.empty()) {
    decodeKeys(terminal.decoder, bytes, monotonicMs(), terminal.events);
  }
}

bool keyboardHasInput() {
  if (!terminal.events.empty()) return true;
  const int64_t deadline = decoderDeadline(terminal.decoder);
  if (deadline >= 0 && deadline <= monotonicMs()) return true;
  if (terminal.keyboardFd < 0) return false;
  pollfd keyboard{terminal.keyboardFd, POLLIN, 0};
  if (poll(&keyboard, 1, 0) <= 0) return false;
  endIfHungUp(keyboard.revents);
  return true;
}

void waitForTerminal(int64_t timeoutMs) {
  pollfd fds[2] = {{terminal.keyboardFd, POLLIN, 0}, {terminal.wakePipe[0], POLLIN, 0}};
  const nfds_t count = terminal.wakePipe[0] >= 0 ? 2 : 1;
  const int64_t deadline = decoderDeadline(terminal.decoder);
  if (deadline >= 0) {
    const int64_t left = std::max<int64_t>(deadline - monotonicMs(), 0);
    timeoutMs = timeoutMs < 0 ? left : std::min(timeoutMs, left);
  }
  if (poll(fds, count, static_cast<int>(timeoutMs)) > 0) endIfHungUp(fds[0].revents);
}

void closeTerminal() {
  presentScreen();
  restoreTerminalState();
  terminal.modeSaved = false;
  if (terminal.keyboardFd >= 0) close(terminal.keyboardFd);
  terminal.keyboardFd = -1;
}
