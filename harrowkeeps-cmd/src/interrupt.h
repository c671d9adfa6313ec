// What happens when the run is stopped from outside: every temporary not yet
// renamed goes, the terminal gets its mode back, and a write beyond
// RLIMIT_FSIZE becomes an error we can report instead of a silent death.
#pragma once

#include <signal.h>
#include <termios.h>

void installInterruptHandling();

// Temporaries not yet renamed; the handler removes them if the run is
// stopped. The folder descriptor must stay open until the slot is cleared.
constexpr int maxRegisteredTemporaries = 4100;
// The slot, or -1 when all are taken.
int registerTemporary(int folderFd, const char* name);
void clearTemporary(int slot);

// Holds the stop signals back while a temporary is created and registered, so no stop can fall
// between the two and leave the file behind; the signal is taken once they are let through.
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
