#include "interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace {

// Handled on the thread that started the run and held back on every thread
// it starts: the same four.
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// How long the walk has to take a stop it was asked for.
constexpr unsigned secondsToStop = 3;

// One slot per temporary not yet under its final name: a batch holds many.
// A slot is filled before its file is created, so a stop that comes at any
// point after that finds the name; the handler reads slots without a lock.
struct TemporarySlot {
  std::atomic<int> folderFd{-1};
  char name[64] = {};
};
TemporarySlot temporaries[maxRegisteredTemporaries];
std::mutex slotsLock;    // between the threads that take and free slots
int firstMaybeFree = 0;  // every slot below it is taken
volatile sig_atomic_t terminalFd = -1;
termios savedTerminal;
volatile sig_atomic_t openLineFd = -1;

// Creations under way on other threads than the one the handler runs on.
// A stop waits for them, so none creates a file after the slots were
// swept; once `stopping` is set, none starts.
std::atomic<int> creationsUnderway{0};
std::atomic<bool> stopping{false};
thread_local bool stopsHeldHere = false;
// Read by every thread, set in the handler: lock-free atomics, which a
// handler may store to.
std::atomic<int> stopsAsked{0};     // stops only ask, the walk takes them
std::atomic<int> askedToStopBy{0};  // the signal that asked
static_assert(std::atomic<int>::is_always_lock_free);

void waitForCreations() {
  // Each is one openat; a thread that never ends one (stuck on a dead
  // network share) must not keep the program from stopping.
  for (int tries = 0; tries < 2000 && creationsUnderway.load() > 0; ++tries) {
    const timespec pause{0, 1'000'000};
    nanosleep(&pause, nullptr);
  }
}

// XCOPY's code for "stopped by Ctrl+C"; for another signal, dies of it, so
// whoever started us sees why.
[[noreturn]] void endAsStoppedBy(int signalNumber) {
  if (signalNumber == SIGINT) _exit(2);
  signal(signalNumber, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signalNumber);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signalNumber);
  _exit(128 + signalNumber);
}

[[noreturn]] void stopAtOnce(int signalNumber) {
  stopping.store(true);
  waitForCreations();
  for (TemporarySlot& slot : temporaries) {
    int folder = slot.folderFd.load(std::memory_order_acquire);
    if (folder >= 0) unlinkat(folder, slot.name, 0);
  }
  int terminal = terminalFd;
  if (terminal >= 0) tcsetattr(terminal, TCSANOW, &savedTerminal);
  int openLine = openLineFd;
  if (openLine >= 0) {
    ssize_t ignored = write(openLine, "\n", 1);
    (void)ignored;
  }
  endAsStoppedBy(signalNumber);
}

void onStop(int signalNumber) {
  if (stopsAsked.load() != 0 && askedToStopBy.load() == 0) {
    askedToStopBy.store(signalNumber);
    alarm(secondsToStop);
    return;
  }
  int asked = askedToStopBy.load();
  stopAtOnce(asked != 0 ? asked : signalNumber);
}

// The walk did not take the stop in time.
void onStopOverdue(int) {
  int asked = askedToStopBy.load();
  stopAtOnce(asked != 0 ? asked : SIGTERM);
}

}  // namespace

int stopRequested() {
  return askedToStopBy.load(std::memory_order_relaxed);
}

void askForStops() {
  stopsAsked.store(1);
  if (askedToStopBy.load() != 0) alarm(secondsToStop);
}

void takeStopsAtOnce() {
  stopsAsked.store(0);
  if (int asked = askedToStopBy.load(); asked != 0) stopAtOnce(asked);
}

void endByStop(int signalNumber) {
  alarm(0);
  // What a flush still under way has not named goes; it has names of its
  // own until then (a file it names meanwhile is whole and stays).
  stopping.store(true);
  waitForCreations();
  removeRegisteredTemporaries();
  endAsStoppedBy(signalNumber);
}

void installInterruptHandling() {
  struct sigaction action {};
  action.sa_handler = onStop;
  sigemptyset(&action.sa_mask);
  for (int stop : stopSignals) sigaddset(&action.sa_mask, stop);
  for (int stop : stopSignals) sigaction(stop, &action, nullptr);
  struct sigaction overdue {};
  overdue.sa_handler = onStopOverdue;
  sigemptyset(&overdue.sa_mask);
  for (int stop : stopSignals) sigaddset(&overdue.sa_mask, stop);
  sigaction(SIGALRM, &overdue, nullptr);
  // With these ignored, a full RLIMIT_FSIZE and a closed screen come back as
  // EFBIG and EPIPE from the call, where we can clean up and say so.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

int registerTemporary(int folderFd, const char* name) {
  std::lock_guard<std::mutex> guard(slotsLock);
  for (int i = firstMaybeFree; i < maxRegisteredTemporaries; ++i) {
    TemporarySlot& slot = temporaries[i];
    if (slot.folderFd.load(std::memory_order_relaxed) >= 0) continue;
    strncpy(slot.name, name, sizeof slot.name - 1);
    slot.name[sizeof slot.name - 1] = '\0';
    slot.folderFd.store(folderFd, std::memory_order_release);
    firstMaybeFree = i + 1;
    return i;
  }
  return -1;
}

void noteStopsHeldOnThisThread() {
  stopsHeldHere = true;
}

bool beginCreation() {
  if (!stopsHeldHere) return true;  // the handler cannot run in the middle of it
  creationsUnderway.fetch_add(1);
  if (!stopping.load()) return true;
  creationsUnderway.fetch_sub(1);
  return false;
}

void endCreation() {
  if (stopsHeldHere) creationsUnderway.fetch_sub(1);
}

StopSignalsHeld::StopSignalsHeld() {
  sigset_t stops;
  sigemptyset(&stops);
  for (int stop : stopSignals) sigaddset(&stops, stop);
  sigaddset(&stops, SIGALRM);
  sigprocmask(SIG_BLOCK, &stops, &previous);
}

StopSignalsHeld::~StopSignalsHeld() {
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void clearTemporary(int slot) {
  if (slot < 0 || slot >= maxRegisteredTemporaries) return;
  std::lock_guard<std::mutex> guard(slotsLock);
  temporaries[slot].folderFd.store(-1, std::memory_order_release);
  if (slot < firstMaybeFree) firstMaybeFree = slot;
}

void removeRegisteredTemporaries() {
  std::lock_guard<std::mutex> guard(slotsLock);
  for (TemporarySlot& slot : temporaries) {
    int folder = slot.folderFd.load(std::memory_order_acquire);
    if (folder < 0) continue;
    unlinkat(folder, slot.name, 0);
    slot.folderFd.store(-1, std::memory_order_release);
  }
  firstMaybeFree = 0;
}

void registerTerminal(int fd, const termios& saved) {
  terminalFd = -1;
  savedTerminal = saved;
  terminalFd = fd;
}

void clearTerminal() {
  terminalFd = -1;
}

void registerOpenLine(int fd) {
  openLineFd = fd;
}
