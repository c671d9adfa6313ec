#pragma once
#include <cstdint>
#include <vector>

#include "console/cell.h"

// A console held in memory: the cells, the cursor, the default attribute and the cursor's
// shape. Hosts without a cell console of their own (a terminal, the tests) keep one and serve
// the screen operations from it; the terminal host then draws it.
//
// As on the Windows console the cells form a buffer, and a display shows a window onto it. The
// screen operations work on the buffer; only the recolouring of `setColor` is bounded by the
// window. The buffer is the display's size, but never smaller than the 80 x 25 the screens
// need: a display at least that large shows all of it, a smaller one the part around the
// cursor.
struct CellGrid {
  int32_t width = 80;  // the buffer
  int32_t height = 25;
  std::vector<Cell> cells = std::vector<Cell>(80 * 25);
  int32_t cursorRow = 0;  // counted from 0
  int32_t cursorColumn = 0;
  uint8_t defaultAttribute = 7;
  int32_t cursorSize = 25;
  bool cursorVisible = true;
  // The window: its size and its top-left cell in the buffer. Never larger than the buffer.
  int32_t windowWidth = 80;
  int32_t windowHeight = 25;
  int32_t windowLeft = 0;
  int32_t windowTop = 0;
  // Something a display shows has changed since it last drew: cells, cursor or window.
  bool changed = true;
};

// The grid the grid-backed screen operations work on.
extern CellGrid screenGrid;

// The smallest buffer a display gets: the application's screens need 80 x 25.
constexpr int32_t minimumBufferWidth = 80;
constexpr int32_t minimumBufferHeight = 25;

Cell& cellAt(CellGrid& grid, int32_t row, int32_t column);
const Cell& cellAt(const CellGrid& grid, int32_t row, int32_t column);

// New buffer size, the window all of it; what fits stays in place, new cells are blanks in the
// default attribute, and the cursor is kept inside.
void resizeGrid(CellGrid& grid, int32_t width, int32_t height);

// The display is now `width` x `height`: that becomes the window's size, and the buffer's, but
// for a buffer never smaller than 80 x 25. What fits stays where it is; when the cursor's row
// would be cut off, the rows above go first, as many as it takes (as a terminal scrolls its
// lines up when it shrinks), so the cursor and the lines just above it stay. The window then
// follows the cursor.
void fitWindow(CellGrid& grid, int32_t width, int32_t height);

// Places the window where it shows the cursor and is as near the buffer's top left as that
// allows, inside the buffer. The place depends on the cursor alone, never on where the window
// stood: the part of the screen shown is one that moving the cursor brings back, and a screen
// drawn from row 1 with the cursor on it is shown from row 1.
void followCursor(CellGrid& grid);
