// What happens when the run is stopped from outside: the half-written
// temporary goes, the terminal gets its mode back, and a write beyond
// RLIMIT_FSIZE becomes an error we can report instead of a silent death.
#pragma once

#include <termios.h>

void installInterruptHandling();

// The temporary being written now; the handler removes it if the run is
// stopped. The name must stay valid until cleared.
void registerTemporary(int folderFd, const char* name);
void clearTemporary();

// A terminal whose mode we changed, to be put back if the run is stopped.
void registerTerminal(int fd, const termios& saved);
void clearTerminal();
