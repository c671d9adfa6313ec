// What happens when the run is stopped from outside: every temporary not yet
// renamed goes, the terminal gets its mode back, and a write beyond
// RLIMIT_FSIZE becomes an error we can report instead of a silent death.
//
// While the copy engine runs, a stop is taken in two steps: the signal only
// asks for it, and the walk, which looks out for that between files and in
// every wait, ends the copying, removes what is not yet named and says which
// of the names it showed that leaves without a copy. Should the walk not get
// there within a few seconds (a call stuck on a share that went away), the
// stop is taken at once from the signal handler, as it is everywhere else:
// the registered temporaries are removed and the process ends.
#pragma once

#include <signal.h>
#include <termios.h>

void installInterruptHandling();

// The stop signal taken while stops were asked for; 0 when none was.
int stopRequested();

// Between these, stop signals only ask for a stop (see above). Not around
// anything that waits on the user: a question is stopped at once.
void askForStops();
void takeStopsAtOnce();

// After a stop asked for has been cleaned up: ends the process the way the
// signal would have (an exit code of 2 for SIGINT, as XCOPY gives).
[[noreturn]] void endByStop(int signalNumber);

// Temporaries not yet renamed; the handler removes them if the run is
// stopped. A name is registered before its file is created. The folder
// descriptor must stay open until the slot is cleared. Any thread.
constexpr int maxRegisteredTemporaries = 8200;
// The slot, or -1 when all are taken.
int registerTemporary(int folderFd, const char* name);
void clearTemporary(int slot);
// Removes every registered temporary, as a stop does: after a copy that
// could not keep track of all of them (memory ran out).
void removeRegisteredTemporaries();

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
