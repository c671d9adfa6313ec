// Child processes on a Unix terminal. The child gets a pseudo-terminal of the screen's size for
// its output, so that what it writes can go through the console's ordinary output rules into
// the same cell grid the screen is drawn from: the program's picture of the screen stays true
// and the next screen operation carries on below the output. Its input is the program's own.
//
// As a shell runs a job, the child runs in a process group of its own that has the terminal
// for its run: the interrupt key stops the command and leaves the program. A signal that ends
// the program ends the command first.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "console/cp437.h"
#include "console/grid/cell_grid.h"
#include "console/grid/processed_output.h"
#include "console/posix/command_text.h"
#include "console/posix/terminal.h"
#include "console/posix/terminal_signals.h"
#include "console/process_host.h"
#include "console/screen_host.h"

extern char** environ;

namespace {

constexpr uint32_t stillActive = 259;  // the exit code of a child that has not ended

thread_local uint32_t lastErrorCode = 0;
uint32_t errorMode = 0;

struct Child {
  HostHandle process = 0;
  HostHandle thread = 0;
  pid_t pid = -1;
  int master = -1;  // our side of the child's pseudo-terminal; -1 once it has hung up
  int pidfd = -1;   // readable when the child has ended, where the system offers it
  bool ended = false;
  uint32_t exitCode = stillActive;
  ProcessedOutput output;
};

std::vector<Child> children;
HostHandle lastHandle = 0;

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

Child* childOf(HostHandle process) {
  for (Child& c : children) {
    if (c.process == process) return &c;
  }
  return nullptr;
}

void noteExit(Child& child, int status) {
  child.ended = true;
  if (WIFEXITED(status)) {
    child.exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    child.exitCode = 128 + static_cast<uint32_t>(WTERMSIG(status));
  }
}

bool reapIfEnded(Child& child) {
  if (child.ended) return true;
  int status = 0;
  pid_t got;
  do {
    got = waitpid(child.pid, &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == child.pid) noteExit(child, status);
  if (got < 0 && errno == ECHILD) child.ended = true;
  return child.ended;
}

// Children whose handles were closed before they ended are reaped when they have.
void forgetEndedChildren() {
  std::erase_if(children, [](Child& c) { return c.process == 0 && reapIfEnded(c); });
}

bool isExecutableFile(const std::string& path, bool& existsButNotExecutable) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (access(path.c_str(), X_OK) == 0) return true;
  existsButNotExecutable = true;
  return false;
}

// The program's file: a name with a '/' as it stands, any other looked up on PATH (an empty
// entry is the current folder). Returns the errno of the failure, 0 when found.
int findProgram(const std::string& program, std::string& path) {
  if (program.empty()) return ENOENT;
  if (program.find('/') != std::string::npos) {
    path = program;
    return 0;
  }
  const char* variable = std::getenv("PATH");
  const std::string searchPath = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
  bool denied = false;
  size_t start = 0;
  for (;;) {
    const size_t end = searchPath.find(':', start);
    const std::string_view folder =
        std::string_view(searchPath).substr(start, end == std::string::npos ? end : end - start);
    std::string candidate(folder.empty() ? std::string_view(".") : folder);
    candidate += '/';
    candidate += program;
    if (isExecutableFile(candidate, denied)) {
      path = candidate;
      return 0;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return denied ? EACCES : ENOENT;
}

// The Windows code for a failure to start `path`: a missing file is told from a missing folder.
uint32_t startFailure(int error, const std::string& path) {
  if (error == ENOENT) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
      struct stat info {};
      const std::string folder = path.substr(0, slash);
      if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return systemError::pathNotFound;
      }
    }
  }
  return systemErrorForErrno(error);
}

void setPseudoTerminalSize(int master) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(screenGrid.width);
  size.ws_row = static_cast<unsigned short>(screenGrid.height);
  ioctl(master, TIOCSWINSZ, &size);
}

// A pseudo-terminal pair; both ends closed on exec. Returns the errno of a failure, 0 on success.
int openPseudoTerminal(int& master, int& slave) {
  master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return errno;
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    const int error = errno;
    closeFd(master);
    return error;
  }
  slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    const int error = errno;
    closeFd(master);
    return error;
  }
  if (slave <= STDERR_FILENO) {
    // dup2 onto itself would keep close-on-exec set; move it out of the way first.
    const int moved = fcntl(slave, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(slave);
    slave = moved;
    if (slave < 0) {
      const int error = errno;
      closeFd(master);
      return error;
    }
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  setPseudoTerminalSize(master);
  return 0;
}

// How long a command that was asked to end by a signal has before it is killed.
constexpr int64_t endGraceMs = 3000;

// The signals the program itself answers or holds back; a command starts with none of that.
constexpr int signalsReset[] = {SIGINT,  SIGQUIT, SIGTERM, SIGHUP,   SIGTSTP,
                                SIGTTIN, SIGTTOU, SIGCONT, SIGWINCH, SIGPIPE};

// The child in a process group of its own (same session, so the terminal stays its
// controlling terminal), made the terminal's foreground group before it runs when `handOver`.
int spawnOnTerminal(const std::string& path, const CommandText& command, int slave, bool handOver,
                    pid_t& pid) {
  posix_spawn_file_actions_t actions;
  if (int error = posix_spawn_file_actions_init(&actions)) return error;
  posix_spawnattr_t attributes;
  if (int error = posix_spawnattr_init(&attributes)) {
    posix_spawn_file_actions_destroy(&actions);
    return error;
  }
  posix_spawn_file_actions_adddup2(&actions, slave, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
  if (handOver) posix_spawn_file_actions_addtcsetpgrp_np(&actions, terminal.keyboardFd);
  sigset_t none;
  sigemptyset(&none);
  sigset_t reset;
  sigemptyset(&reset);
  for (int signal : signalsReset) sigaddset(&reset, signal);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &reset);
  std::vector<char*> argv;
  std::string program = command.program;
  std::string argument = command.argument;
  argv.push_back(program.data());
  if (!argument.empty()) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

int openProcessFd(pid_t pid) {
#ifdef SYS_pidfd_open
  const long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#else
  (void)pid;
#endif
  return -1;
}

// Takes what the child has written so far into the grid. False once the terminal has hung up
// (every writer has closed it).
bool takeOutput(Child& child) {
  char buffer[65536];
  for (int reads = 0; reads < 16; ++reads) {
    const ssize_t n = read(child.master, buffer, sizeof buffer);
    if (n > 0) {
      writeProcessedOutput(screenGrid, child.output,
                           std::string_view(buffer, static_cast<size_t>(n)));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    return false;  // EIO (hung up) or end of file
  }
  return true;
}

void showOutput(Child& child) {
  for (; child.output.bells > 0; --child.output.bells) hostBeep();
  presentScreen();
}

// Whether any process of the command's group is left. One that has ended but is not yet reaped
// by its parent still counts; its parent is then a member, or the system reaps it soon.
bool groupLeft(pid_t group) {
  return kill(-group, 0) == 0 || errno == EPERM;
}

// The program was asked to end by `signal` while the command ran; the handler has passed the
// signal on to the command's group. The interpreter may be gone already while processes it
// started run on: the group is waited for, whatever of it is left after the grace time is
// killed, and the program ends by the same signal.
[[noreturn]] void endCommandThenProgram(Child& child, int signal) {
  const int64_t deadline = monotonicMs() + endGraceMs;
  while (monotonicMs() < deadline) {
    if (child.master >= 0 && !takeOutput(child)) closeFd(child.master);
    reapIfEnded(child);
    if (child.ended && !groupLeft(child.pid)) break;
    const timespec pause{0, 20 * 1000000};
    nanosleep(&pause, nullptr);
  }
  kill(-child.pid, SIGKILL);
  while (!child.ended) {
    int status = 0;
    const pid_t got = waitpid(child.pid, &status, 0);
    if (got == child.pid) noteExit(child, status);
    if (got < 0 && errno != EINTR) child.ended = true;
  }
  takeBackTerminal();
  presentScreen();
  endBySignal(signal);
}

}  // namespace

bool hostCreateProcess(const std::string& commandText, uint16_t, bool, CreatedProcess& created) {
  // This host's children inherit no handle but the standard ones, whatever the flag says; the
  // show state has no meaning on a terminal.
  forgetEndedChildren();
  presentScreen();  // the child's output continues the screen as it stands
  const CommandText command = splitCommandText(commandText);
  std::string path;
  if (int error = findProgram(command.program, path)) {
    lastErrorCode = systemErrorForErrno(error);
    return false;
  }
  int master = -1;
  int slave = -1;
  if (int error = openPseudoTerminal(master, slave)) {
    lastErrorCode = systemErrorForErrno(error);
    return false;
  }
  pid_t pid = -1;
  // The end and stop signals wait while the command starts, so that none of them finds it
  // started but not yet known as the command to pass them on to.
  const HeldSignals held{SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT};
  const bool handOver = lendTerminal();
  const int error = spawnOnTerminal(path, command, slave, handOver, pid);
  close(slave);
  if (error != 0) {
    close(master);
    // The child may have taken the terminal before its program failed to start.
    takeBackTerminal();
    lastErrorCode = startFailure(error, path);
    return false;
  }
  setCommandGroup(pid, handOver);
  Child child;
  child.process = ++lastHandle;
  child.thread = ++lastHandle;
  child.pid = pid;
  child.master = master;
  child.pidfd = openProcessFd(pid);
  children.push_back(std::move(child));
  created.process = children.back().process;
  created.thread = children.back().thread;
  created.processId = static_cast<uint32_t>(pid);
  created.threadId = static_cast<uint32_t>(pid);
  return true;
}

void hostWaitForProcess(HostHandle process) {
  Child* child = childOf(process);
  if (child == nullptr) return;
  while (!child->ended) {
    if (const int signal = endSignalNoted()) endCommandThenProgram(*child, signal);
    // The screen's size as the round begins: the child's terminal follows whatever changes it.
    const int32_t width = screenGrid.width;
    const int32_t height = screenGrid.height;
    pollfd fds[3];
    nfds_t count = 0;
    if (child->master >= 0) fds[count++] = {child->master, POLLIN, 0};
    if (child->pidfd >= 0) fds[count++] = {child->pidfd, POLLIN, 0};
    if (terminal.wakePipe[0] >= 0) fds[count++] = {terminal.wakePipe[0], POLLIN, 0};
    // Without a process descriptor the end of the child is looked for now and then. While the
    // command has the terminal its resizes signal the command alone, so the size is looked at
    // now and then as well.
    int timeoutMs = child->pidfd >= 0 ? -1 : 20;
    if (terminal.lent && timeoutMs < 0) timeoutMs = 250;
    poll(fds, count, timeoutMs);
    if (terminal.lent) lookAtTerminalSize();
    if (child->master >= 0 && !takeOutput(*child)) closeFd(child->master);
    if (reapIfEnded(*child) && child->master >= 0) {
      // What it wrote before it ended is still on the way.
      if (!takeOutput(*child)) closeFd(child->master);
    }
    showOutput(*child);
    if (child->master >= 0 && (width != screenGrid.width || height != screenGrid.height)) {
      setPseudoTerminalSize(child->master);
    }
  }
  // An end signal that came as the interpreter ended (of it, often) leaves the rest of its
  // group to be waited for, with the group still the one the handler passes further end
  // signals on to.
  if (const int signal = endSignalNoted()) endCommandThenProgram(*child, signal);
  // A child may leave the terminal in a mode of its own.
  takeBackTerminal();
  // One that came in between went to the group as well.
  if (const int signal = endSignalNoted()) endCommandThenProgram(*child, signal);
}

uint32_t hostProcessExitCode(HostHandle process) {
  Child* child = childOf(process);
  if (child == nullptr) return stillActive;
  reapIfEnded(*child);
  return child->exitCode;
}

void hostCloseHandle(HostHandle handle) {
  for (Child& c : children) {
    if (c.thread == handle) c.thread = 0;
    if (c.process == handle) {
      // A command nobody waits for runs on in the background, without the terminal, and the
      // program's end signals are its own again.
      if (!c.ended) takeBackTerminal();
      c.process = 0;
      closeFd(c.master);
      closeFd(c.pidfd);
    }
  }
  forgetEndedChildren();
}

bool hostReadVariable(const std::string& name, std::string& value) {
  const char* found = std::getenv(name.c_str());
  if (found == nullptr) return false;
  // The program's text is code page 437; the command it becomes is turned back into UTF-8.
  value = utf8TextToCp437(found, '?');
  return true;
}

uint32_t hostSetErrorMode(uint32_t mode) {
  const uint32_t previous = errorMode;
  errorMode = mode;
  return previous;
}

void hostSetLastError(uint32_t code) {
  lastErrorCode = code;
}

uint32_t hostLastError() {
  return lastErrorCode;
}
