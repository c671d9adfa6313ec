#pragma once
#include <cstdint>
#include <vector>

#include "console/cell.h"

// A console held in memory: the cells, the cursor, the default attribute and the cursor's
// shape. Hosts without a cell console of their own (a terminal, the tests) keep one and serve
// the screen operations from it; the terminal host then draws it.
struct CellGrid {
  int32_t width = 80;
  int32_t height = 25;
  std::vector<Cell> cells = std::vector<Cell>(80 * 25);
  int32_t cursorRow = 0;  // counted from 0
  int32_t cursorColumn = 0;
  uint8_t defaultAttribute = 7;
  int32_t cursorSize = 25;
  bool cursorVisible = true;
};

// The grid the grid-backed screen operations work on.
extern CellGrid screenGrid;

Cell& cellAt(CellGrid& grid, int32_t row, int32_t column);
const Cell& cellAt(const CellGrid& grid, int32_t row, int32_t column);

// New size; what fits stays in place, new cells are blanks in the default attribute, and the
// cursor is kept inside.
void resizeGrid(CellGrid& grid, int32_t width, int32_t height);
