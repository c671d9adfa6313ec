#include "app/app_test_support.h"

#include "console/grid/cell_grid.h"
#include "console/memory/memory_process_host.h"

Frame captureFrame() {
  Frame f;
  for (int r = 1; r <= screenGrid.height; ++r) f.rows.push_back(screenRow(r));
  f.cursorRow = screenGrid.cursorRow + 1;
  f.cursorColumn = screenGrid.cursorColumn + 1;
  return f;
}

void resetForProgramRun() {
  resetMemoryHost();
  resetMemoryProcessHost();
  screenState = ScreenState{};
}

ProgramRun runProgramWithKeys(const std::vector<std::function<void()>>& script) {
  ProgramRun run;
  size_t next = 0;
  memoryHost.beforeWait = [&] {
    if (!memoryHost.events.empty()) return;
    run.frames.push_back(captureFrame());
    if (next < script.size()) script[next++]();
  };
  try {
    run.exitCode = runProgram();
  } catch (const ScriptExhausted&) {
    run.exitCode = -1;
  }
  memoryHost.beforeWait = nullptr;
  return run;
}
