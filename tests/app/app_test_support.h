#pragma once
// Running the whole program on the in-memory host and looking at its screens.

#include <functional>
#include <string>
#include <vector>

#include "console/memory/memory_host.h"
#include "console/program.h"
#include "console/screen.h"

struct Frame {
  std::vector<std::string> rows;  // rows 1 to the height, as UTF-8
  int cursorRow;
  int cursorColumn;
};

Frame captureFrame();

// Runs the program until it ends or its script of keys is over; the frames are the screens it
// showed each time it waited for a key. Returns the exit code, or -1 when the script ran out.
struct ProgramRun {
  int exitCode = -1;
  std::vector<Frame> frames;
};
ProgramRun runProgramWithKeys(const std::vector<std::function<void()>>& script);

// A fresh host and program state.
void resetForProgramRun();
