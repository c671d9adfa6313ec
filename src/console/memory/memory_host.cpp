#include "console/memory/memory_host.h"

#include "console/cp437.h"
#include "console/grid/cell_grid.h"
#include "console/keyboard_host.h"
#include "console/program_host.h"
#include "console/screen_host.h"
#include "console/screen_start.h"
#include "console/us_layout.h"

MemoryHost memoryHost;

void resetMemoryHost(int32_t width, int32_t height) {
  memoryHost = MemoryHost{};
  screenGrid = CellGrid{};
  screenGrid.cells.assign(80 * 25, Cell{' ', 7});
  resizeGrid(screenGrid, width, height);
}

void pushEvent(const KeyEvent& event) {
  memoryHost.events.push_back(event);
}

void typeText(std::string_view bytes) {
  for (char b : bytes) {
    const auto c = static_cast<uint8_t>(b);
    KeyEvent press;
    press.character = c;
    if (c >= 1 && c <= 26 && c != 8 && c != 9 && c != 13) {
      press.scanCode = usLayoutPosition(static_cast<uint8_t>('a' + c - 1)).scanCode;
      press.controlState = controlStateFlag::leftCtrl;
    } else {
      const KeyPosition at = usLayoutPosition(c);
      press.scanCode = at.scanCode;
      if (at.shift) press.controlState = controlStateFlag::shift;
    }
    pushEvent(press);
    KeyEvent release = press;
    release.down = false;
    pushEvent(release);
  }
}

void pressKey(uint8_t code, uint16_t controlState) {
  KeyEvent press;
  press.scanCode = code;
  press.controlState = controlState;
  pushEvent(press);
}

std::string screenRow(int32_t row) {
  std::string bytes;
  for (int32_t c = 0; c < screenGrid.width; ++c) {
    bytes += static_cast<char>(cellAt(screenGrid, row - 1, c).character);
  }
  return cp437ToUtf8(bytes);
}

int screenAttribute(int32_t row, int32_t column) {
  return cellAt(screenGrid, row - 1, column - 1).attribute;
}

// Screen and keyboard.

void hostOpenConsole(ScreenState& state) {
  memoryHost.lifecycle.push_back("prepare console");
  state.stdinIsConsole = memoryHost.stdinIsConsole;
  state.stdoutIsConsole = memoryHost.stdoutIsConsole;
}

void hostBeep() {
  ++memoryHost.beeps;
}

bool hostPeekEvent(KeyEvent& event) {
  if (memoryHost.events.empty()) return false;
  event = memoryHost.events.front();
  return true;
}

void hostRemoveEvent() {
  if (!memoryHost.events.empty()) memoryHost.events.pop_front();
}

void hostFlushEvents() {
  ++memoryHost.flushes;
  memoryHost.events.clear();
}

namespace {

void beforeWaiting() {
  if (memoryHost.beforeWait) memoryHost.beforeWait();
  if (memoryHost.events.empty()) throw ScriptExhausted{};
}

}  // namespace

void hostPause() {
  beforeWaiting();
}

void hostWaitForInput() {
  beforeWaiting();
}

// Start and end.

void hostInitializeComponents() {
  memoryHost.lifecycle.push_back("initialize components");
}
void hostUninitializeComponents() {
  memoryHost.lifecycle.push_back("uninitialize components");
}
void hostReadVersion() {
  memoryHost.lifecycle.push_back("read version");
}

StartupInformation hostReadStartupInformation() {
  memoryHost.lifecycle.push_back("read startup information");
  return {};
}

std::string hostCommandLine() {
  memoryHost.lifecycle.push_back("read command line");
  return memoryHost.commandLine;
}

void* hostModuleHandle() {
  memoryHost.lifecycle.push_back("module handle");
  return &memoryHost;
}

bool hostReserveThreadStorage() {
  memoryHost.lifecycle.push_back("reserve thread storage");
  return !memoryHost.threadStorageFails;
}

void hostReleaseThreadStorage() {
  memoryHost.lifecycle.push_back("release thread storage");
}
void hostCloseConsoleInput() {
  memoryHost.lifecycle.push_back("close console input");
}

void hostEndProcess(int exitCode) {
  memoryHost.lifecycle.push_back("end process");
  memoryHost.exitCode = exitCode;
}
