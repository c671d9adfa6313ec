// What happens when the run is stopped from outside: the half-written
// temporary goes, the terminal gets its mode back, and a write beyond
// RLIMIT_FSIZE becomes an error we can report instead of a silent death.
#pragma once

#include <signal.h>
#include <termios.h>

void installInterruptHandling();

// The temporary being written now; the handler removes it if the run is
// stopped. The name must stay valid until cleared.
void registerTemporary(int folderFd, const char* name);

// Holds the stop signals back while a temporary is created and registered, so no stop can fall
// between the two and leave the file behind; the signal is taken once they are let through.
struct StopSignalsHeld {
  sigset_t previous;
  StopSignalsHeld();
  ~StopSignalsHeld();
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
};
void clearTemporary();

// A terminal whose mode we changed, to be put back if the run is stopped.
void registerTerminal(int fd, const termios& saved);
void clearTerminal();
