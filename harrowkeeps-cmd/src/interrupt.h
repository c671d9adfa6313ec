// What happens when the run is stopped from outside: every temporary not yet
// renamed goes, the terminal gets its mode back, and a write beyond
// RLIMIT_FSIZE becomes an error we can report instead of a silent death.
#pragma once

#include <signal.h>
#include <termios.h>

void installInterruptHandling();

// Temporaries not yet renamed; the handler removes them if the run is
// stopped. A name is registered before its file is created. The folder
// descriptor must stay open until the slot is cleared. Any thread.
constexpr int maxRegisteredTemporaries = 8200;
// The slot, or -1 when all are taken.
int registerTemporary(int folderFd, const char* name);
void clearTemporary(int slot);

// Around the creation of a registered temporary. On a thread that holds the
// stop signals back (a worker), a stop taken by another thread waits for the
// creation to end before it removes the temporaries, so none is left
// behind; false when the run is stopping: create nothing. On the thread that
// takes the stops there is nothing to wait for.
bool beginCreation();
void endCreation();
// Called by each worker thread as it starts.
void noteStopsHeldOnThisThread();

// Holds the stop signals back: threads started meanwhile keep them held for
// good, so the stops are always taken by the thread that started them.
struct StopSignalsHeld {
  sigset_t previous;
  StopSignalsHeld();
  ~StopSignalsHeld();
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
};

// A terminal whose mode we changed, to be put back if the run is stopped.
void registerTerminal(int fd, const termios& saved);
void clearTerminal();

// A question waits for its answer on the line it wrote to `fd`: a stop ends
// that line first, so that whatever is shown next starts a line of its own.
// -1 when no question waits.
void registerOpenLine(int fd);
