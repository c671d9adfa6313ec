// The console's start and the beep on a Unix terminal. The cells themselves are the cell grid
// (console/grid/grid_screen_host.cpp), which the terminal shows (console/posix/terminal.cpp).

#include <unistd.h>

#include "console/posix/default_interpreter.h"
#include "console/posix/terminal.h"
#include "console/screen.h"
#include "console/screen_host.h"

void hostOpenConsole(ScreenState& state) {
  openTerminal();
  state.stdoutIsConsole = isatty(STDOUT_FILENO);
  state.stdinIsConsole = isatty(STDIN_FILENO);
  setDefaultCommandInterpreter();
}

void hostBeep() {
  terminal.beepPending = true;
}
