// The console's start and the beep on the tests' host, recorded. The cells are the cell grid
// (console/grid/grid_screen_host.cpp).

#include "console/memory/memory_host.h"
#include "console/screen.h"
#include "console/screen_host.h"

void hostOpenConsole(ScreenState& state) {
  memoryHost.lifecycle.push_back("prepare console");
  state.stdinIsConsole = memoryHost.stdinIsConsole;
  state.stdoutIsConsole = memoryHost.stdoutIsConsole;
}

void hostBeep() {
  ++memoryHost.beeps;
}
