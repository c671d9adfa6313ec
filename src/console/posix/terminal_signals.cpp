#include "console/posix/terminal_signals.h"

#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "console/posix/terminal.h"

namespace {

static_assert(sizeof(pid_t) <= sizeof(sig_atomic_t), "a process group must fit a signal flag");

volatile sig_atomic_t commandGroup = 0;
volatile sig_atomic_t groupHasTerminal = 0;
volatile sig_atomic_t resizeNoted = 0;
volatile sig_atomic_t repaintNoted = 0;
volatile sig_atomic_t endNoted = 0;

constexpr int endSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};

void wake() {
  if (terminal.wakePipe[1] < 0) return;
  const char byte = 1;
  ssize_t ignored = write(terminal.wakePipe[1], &byte, 1);
  (void)ignored;
}

void install(int signal, void (*handler)(int, siginfo_t*, void*), int flags) {
  struct sigaction action {};
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO | flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void onEnd(int signal, siginfo_t* info, void*) {
  const int saved = errno;
  const pid_t group = commandGroup;
  if (group != 0) {
    // The terminal's own interrupt belongs to the command, which got it as well: the program
    // stays. From anyone else it ends the command and then the program.
    if (groupHasTerminal && (signal == SIGINT || signal == SIGQUIT) && info != nullptr &&
        info->si_code == SI_KERNEL) {
      errno = saved;
      return;
    }
    kill(-group, signal);
    endNoted = signal;
    wake();
    errno = saved;
    return;
  }
  endBySignal(signal);
}

void onStop(int, siginfo_t*, void*) {
  const int saved = errno;
  const pid_t group = commandGroup;
  {
    // The terminal as the program found it, for whoever uses it meanwhile; the command, part
    // of the program's job, stops with it.
    const HeldSignals ttou{SIGTTOU};
    if (group != 0) {
      kill(-group, SIGTSTP);
      if (groupHasTerminal) tcsetpgrp(terminal.keyboardFd, getpgrp());
    }
    restoreTerminalState();
  }

  std::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);
  // Continued: SIGCONT's handler has taken the terminal again.
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  install(SIGTSTP, onStop, SA_RESTART);
  errno = saved;
}

void onContinue(int, siginfo_t*, void*) {
  const int saved = errno;
  const pid_t group = commandGroup;
  if (group != 0 && groupHasTerminal) {
    const pid_t foreground = tcgetpgrp(terminal.keyboardFd);
    if (foreground == getpgrp() || foreground == group) {
      // The command gets the terminal back and goes on. The program may be out of the
      // foreground here and must not be stopped for setting the terminal up for it.
      const HeldSignals ttou{SIGTTOU};
      applyCommandMode();
      tcsetpgrp(terminal.keyboardFd, group);
    }
    // Otherwise the program was continued in the background: the terminal stays with whoever
    // has it, and the next continue in the foreground hands it over.
    kill(-group, SIGCONT);
  } else {
    if (group != 0) kill(-group, SIGCONT);
    // Continued in the background this stops the program again until it is in the foreground,
    // as the terminal's mode is the foreground's business.
    applyRawMode();
  }
  repaintNoted = 1;
  wake();
  errno = saved;
}

void onResize(int, siginfo_t*, void*) {
  const int saved = errno;
  resizeNoted = 1;
  wake();
  errno = saved;
}

}  // namespace

HeldSignals::HeldSignals(std::initializer_list<int> signals) {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : signals) sigaddset(&held, signal);
  sigprocmask(SIG_BLOCK, &held, &previous);
}

HeldSignals::~HeldSignals() {
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void installSignalHandlers() {
  for (int signal : endSignals) install(signal, onEnd, 0);
  install(SIGTSTP, onStop, SA_RESTART);
  install(SIGCONT, onContinue, SA_RESTART);
  install(SIGWINCH, onResize, SA_RESTART);
}

void setCommandGroup(pid_t group, bool hasTerminal) {
  groupHasTerminal = hasTerminal;
  commandGroup = group;
}

bool takeResizeNote() {
  if (!resizeNoted) return false;
  resizeNoted = 0;
  return true;
}

bool takeRepaintNote() {
  if (!repaintNoted) return false;
  repaintNoted = 0;
  return true;
}

int endSignalNoted() {
  return endNoted;
}

void endBySignal(int signal) {
  restoreTerminalState();
  std::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  // A signal whose default action is not to end (none of the end signals) still ends here.
  std::_Exit(128 + signal);
}
