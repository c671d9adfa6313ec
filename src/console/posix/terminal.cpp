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
#include <cstring>
#include <ctime>

#include "console/grid/cell_grid.h"

Terminal terminal;

namespace {

volatile sig_atomic_t resized = 0;

// What every end puts back: the cursor shown in the terminal's own shape, the colours of new
// text reset, the input mode as it was. Async-signal-safe: called from signal handlers.
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

void restoreAtExit() {
  restoreTerminalState();
}

void endOnSignal(int signal) {
  restoreTerminalState();
  std::signal(signal, SIG_DFL);
  raise(signal);
}

void noteResize(int) {
  const int saved = errno;
  resized = 1;
  const char byte = 1;
  ssize_t ignored = write(terminal.wakePipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

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

void setRawMode() {
  if (tcgetattr(terminal.keyboardFd, &terminal.savedMode) != 0) return;
  terminal.modeSaved = true;
  reapplyRawMode();
}

void installSignalHandlers() {
  struct sigaction end {};
  end.sa_handler = endOnSignal;
  sigemptyset(&end.sa_mask);
  for (int s : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) sigaction(s, &end, nullptr);
  struct sigaction resize {};
  resize.sa_handler = noteResize;
  sigemptyset(&resize.sa_mask);
  resize.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &resize, nullptr);
}

void readTerminalSize() {
  winsize size{};
  if (ioctl(terminal.screenFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    resizeGrid(screenGrid, size.ws_col, size.ws_row);
  }
}

}  // namespace

void reapplyRawMode() {
  if (!terminal.modeSaved) return;
  termios raw = terminal.savedMode;
  // Every key reaches the program as it is typed: no line editing, no echo, Ctrl+C, Ctrl+Z and
  // Ctrl+S are ordinary keys, Enter arrives as CR. Output processing stays on for the commands
  // the program runs.
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  tcsetattr(terminal.keyboardFd, TCSANOW, &raw);
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
  setRawMode();
  std::atexit(restoreAtExit);
  installSignalHandlers();
  readTerminalSize();
}

void followTerminalSize() {
  if (!resized) return;
  resized = 0;
  char drain[64];
  while (read(terminal.wakePipe[0], drain, sizeof drain) > 0) {
  }
  readTerminalSize();
  terminal.view.known = false;
}

void presentScreen() {
  followTerminalSize();
  std::string out;
  renderFrame(screenGrid, terminal.view, terminal.beepPending, out);
  terminal.beepPending = false;
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

void waitForTerminal(int64_t timeoutMs) {
  pollfd fds[2] = {{terminal.keyboardFd, POLLIN, 0}, {terminal.wakePipe[0], POLLIN, 0}};
  const nfds_t count = terminal.wakePipe[0] >= 0 ? 2 : 1;
  const int64_t deadline = decoderDeadline(terminal.decoder);
  if (deadline >= 0) {
    const int64_t left = std::max<int64_t>(deadline - monotonicMs(), 0);
    timeoutMs = timeoutMs < 0 ? left : std::min(timeoutMs, left);
  }
  const int result = poll(fds, count, static_cast<int>(timeoutMs));
  if (result > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
    // The terminal hung up: no key can come any more.
    restoreTerminalState();
    std::_Exit(1);
  }
}

void closeTerminal() {
  presentScreen();
  restoreTerminalState();
  terminal.modeSaved = false;
  if (terminal.keyboardFd >= 0) close(terminal.keyboardFd);
  terminal.keyboardFd = -1;
}
