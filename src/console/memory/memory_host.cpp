// The tests' host state and the helpers that script it: keys to type, rows to read back. The
// host's seams are memory_screen_host.cpp, memory_keyboard_host.cpp, memory_program_host.cpp
// and memory_process_host.cpp.

#include "console/memory/memory_host.h"

#include "console/cp437.h"
#include "console/grid/cell_grid.h"
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
