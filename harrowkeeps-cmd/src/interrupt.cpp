#include "interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace {

// Handled and, while a temporary is made, held back: the same four.
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// One slot per temporary not yet under its final name: a batch holds many.
struct TemporarySlot {
  volatile sig_atomic_t folderFd = -1;
  char name[64] = {};
};
TemporarySlot temporaries[maxRegisteredTemporaries];
int firstMaybeFree = 0;  // every slot below it is taken
volatile sig_atomic_t terminalFd = -1;
termios savedTerminal;

void onStop(int signalNumber) {
  for (TemporarySlot& slot : temporaries) {
    int folder = slot.folderFd;
    if (folder >= 0) unlinkat(folder, slot.name, 0);
  }
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
  for (int stop : stopSignals) sigaddset(&action.sa_mask, stop);
  for (int stop : stopSignals) sigaction(stop, &action, nullptr);
  // With these ignored, a full RLIMIT_FSIZE and a closed screen come back as
  // EFBIG and EPIPE from the call, where we can clean up and say so.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

int registerTemporary(int folderFd, const char* name) {
  for (int i = firstMaybeFree; i < maxRegisteredTemporaries; ++i) {
    TemporarySlot& slot = temporaries[i];
    if (slot.folderFd >= 0) continue;
    strncpy(slot.name, name, sizeof slot.name - 1);
    slot.name[sizeof slot.name - 1] = '\0';
    slot.folderFd = folderFd;
    firstMaybeFree = i + 1;
    return i;
  }
  return -1;
}

StopSignalsHeld::StopSignalsHeld() {
  sigset_t stops;
  sigemptyset(&stops);
  for (int stop : stopSignals) sigaddset(&stops, stop);
  sigprocmask(SIG_BLOCK, &stops, &previous);
}

StopSignalsHeld::~StopSignalsHeld() {
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void clearTemporary(int slot) {
  if (slot < 0 || slot >= maxRegisteredTemporaries) return;
  temporaries[slot].folderFd = -1;
  if (slot < firstMaybeFree) firstMaybeFree = slot;
}

void registerTerminal(int fd, const termios& saved) {
  terminalFd = -1;
  savedTerminal = saved;
  terminalFd = fd;
}

void clearTerminal() {
  terminalFd = -1;
}
