#include "interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <initializer_list>

namespace {

volatile sig_atomic_t temporaryFolderFd = -1;
char temporaryName[256];
volatile sig_atomic_t terminalFd = -1;
termios savedTerminal;

void onStop(int signalNumber) {
  int folder = temporaryFolderFd;
  if (folder >= 0) unlinkat(folder, temporaryName, 0);
  int terminal = terminalFd;
  if (terminal >= 0) tcsetattr(terminal, TCSANOW, &savedTerminal);
  if (signalNumber == SIGINT) {
    // XCOPY's code for "stopped by Ctrl+C".
    _exit(2);
  }
  // Die of the same signal, so whoever started us sees why.
  signal(signalNumber, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signalNumber);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signalNumber);
  _exit(128 + signalNumber);
}

}  // namespace

void installInterruptHandling() {
  struct sigaction action {};
  action.sa_handler = onStop;
  sigemptyset(&action.sa_mask);
  for (int stop : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&action.sa_mask, stop);
  for (int stop : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(stop, &action, nullptr);
  // With these ignored, a full RLIMIT_FSIZE and a closed screen come back as
  // EFBIG and EPIPE from the call, where we can clean up and say so.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

void registerTemporary(int folderFd, const char* name) {
  temporaryFolderFd = -1;
  strncpy(temporaryName, name, sizeof temporaryName - 1);
  temporaryName[sizeof temporaryName - 1] = '\0';
  temporaryFolderFd = folderFd;
}

StopSignalsHeld::StopSignalsHeld() {
  sigset_t stops;
  sigemptyset(&stops);
  for (int stop : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stops, stop);
  sigprocmask(SIG_BLOCK, &stops, &previous);
}

StopSignalsHeld::~StopSignalsHeld() {
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void clearTemporary() {
  temporaryFolderFd = -1;
}

void registerTerminal(int fd, const termios& saved) {
  terminalFd = -1;
  savedTerminal = saved;
  terminalFd = fd;
}

void clearTerminal() {
  terminalFd = -1;
}
