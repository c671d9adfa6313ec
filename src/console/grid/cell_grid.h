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
// window. A terminal smaller than the buffer shows the part around the cursor.
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

// The display is now `width` x `height`: that becomes the window's size. The buffer grows to
// hold the window but never shrinks, so no cell is lost however small the display gets, and it
// is never smaller than 80 x 25. The window then follows the cursor.
void fitWindow(CellGrid& grid, int32_t width, int32_t height);

// Moves the window as little as it takes to show the cursor, and keeps it inside the buffer.
void followCursor(CellGrid& grid);
