#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "console/grid/cell_grid.h"

// What the terminal shows, as far as the program knows: the cells drawn so far, the cursor and
// the colours last selected. The terminal is the grid's window, so its size is the window's.
// Frames are drawn by difference against it.
struct TerminalView {
  // False before the first frame and after a resize or a stop: everything is drawn afresh,
  // the cursor's shape and visibility as well.
  bool known = false;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Cell> cells;
  int32_t cursorRow = -1;  // -1 when the terminal's cursor position is not known
  int32_t cursorColumn = -1;
  int attribute = -1;  // the colours last selected, -1 when unknown
  bool cursorVisible = true;
  int cursorShape = -1;  // the DECSCUSR style last sent, -1 when none
};

// The SGR sequence for a console attribute (Windows palette order) in ANSI colours.
std::string attributeSequence(uint8_t attribute);

// Appends to `out` what turns the terminal from `view` into the window of `grid`, and updates
// `view`. Only changed cells go out; the cursor is placed and shaped last; `beep` adds the bell.
void renderFrame(const CellGrid& grid, TerminalView& view, bool beep, std::string& out);
