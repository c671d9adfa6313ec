#include "console/grid/cell_grid.h"

#include <algorithm>

CellGrid screenGrid;

Cell& cellAt(CellGrid& grid, int32_t row, int32_t column) {
  return grid.cells[static_cast<size_t>(row) * static_cast<size_t>(grid.width) +
                    static_cast<size_t>(column)];
}

const Cell& cellAt(const CellGrid& grid, int32_t row, int32_t column) {
  return grid.cells[static_cast<size_t>(row) * static_cast<size_t>(grid.width) +
                    static_cast<size_t>(column)];
}

void resizeGrid(CellGrid& grid, int32_t width, int32_t height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width == grid.width && height == grid.height) return;
  std::vector<Cell> cells(static_cast<size_t>(width) * static_cast<size_t>(height),
                          Cell{' ', grid.defaultAttribute});
  for (int32_t r = 0; r < std::min(height, grid.height); ++r) {
    for (int32_t c = 0; c < std::min(width, grid.width); ++c) {
      cells[static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(c)] =
          cellAt(grid, r, c);
    }
  }
  grid.cells = std::move(cells);
  grid.width = width;
  grid.height = height;
  grid.cursorRow = std::min(grid.cursorRow, height - 1);
  grid.cursorColumn = std::min(grid.cursorColumn, width - 1);
}
